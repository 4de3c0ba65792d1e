// CShadowUI: the shadow window, its hook into the skinned window, and the
// shadow computation (erosion of the window's row spans, then a blurred
// border stamped with a round kernel, then the interior filled and the
// window's own area cleared).
#include "ui/UIShadow.h"

#include "plat/gfx/gdi.h"
#include "plat/win/winuser.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace Veneer {

namespace {

constexpr LPCTSTR kShadowClass = L"QuillShadowWnd";
bool g_bRegistered = false;

// Alpha in the top byte, each channel of 0xRRGGBB multiplied by alpha / 255.
uint32_t PreMultiplied(DWORD color, uint32_t alpha) {
    const uint32_t r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    return alpha << 24 | (r * alpha / 255) << 16 | (g * alpha / 255) << 8 | (b * alpha / 255);
}

} // namespace

CShadowUI::~CShadowUI() {
    // A shadow that goes before its window leaves the window unhooked.
    if (m_hParent != nullptr) {
        auto it = GetShadowMap().find(m_hParent);
        if (it != GetShadowMap().end() && it->second == this) {
            GetShadowMap().erase(it);
            if (plat::IsWindow(m_hParent) && plat::GetWindowLongPtr(m_hParent, GWLP_WNDPROC) ==
                                                 reinterpret_cast<LONG_PTR>(&CShadowUI::ParentProc))
                plat::SetWindowLongPtr(m_hParent, GWLP_WNDPROC,
                                       reinterpret_cast<LONG_PTR>(m_OriParentProc));
        }
    }
    if (m_hWnd != nullptr && plat::IsWindow(m_hWnd))
        plat::DestroyWindow(m_hWnd);
}

bool CShadowUI::Initialize(HINSTANCE hInstance) {
    if (g_bRegistered)
        return true;
    WNDCLASSEX wcex{};
    wcex.cbSize = sizeof(WNDCLASSEX);
    wcex.style = CS_HREDRAW | CS_VREDRAW;
    wcex.lpfnWndProc = plat::DefWindowProc;
    wcex.hInstance = hInstance;
    wcex.hCursor = plat::LoadCursor(nullptr, IDC_ARROW);
    wcex.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOWFRAME));
    wcex.lpszClassName = kShadowClass;
    g_bRegistered =
        plat::RegisterClassEx(&wcex) != 0 || plat::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return g_bRegistered;
}

std::map<HWND, CShadowUI*>& CShadowUI::GetShadowMap() {
    static std::map<HWND, CShadowUI*> map;
    return map;
}

// ============================================================ settings

void CShadowUI::ShowShadow(bool bShow) {
    m_bIsShowShadow = bShow;
}

bool CShadowUI::IsShowShadow() const {
    return m_bIsShowShadow;
}

void CShadowUI::Refresh() {
    if (m_hWnd != nullptr && (m_Status & SS_VISABLE) != 0)
        Update(plat::GetWindow(m_hWnd, GW_OWNER));
}

bool CShadowUI::SetSize(int NewSize) {
    if (NewSize > 20 || NewSize < -20)
        return false;
    m_nSize = static_cast<signed char>(NewSize);
    Refresh();
    return true;
}

bool CShadowUI::SetSharpness(unsigned int NewSharpness) {
    if (NewSharpness > 20)
        return false;
    m_nSharpness = static_cast<unsigned char>(NewSharpness);
    Refresh();
    return true;
}

bool CShadowUI::SetDarkness(unsigned int NewDarkness) {
    if (NewDarkness > 255)
        return false;
    m_nDarkness = static_cast<unsigned char>(NewDarkness);
    Refresh();
    return true;
}

bool CShadowUI::SetPosition(int NewXOffset, int NewYOffset) {
    if (NewXOffset > 20 || NewXOffset < -20 || NewYOffset > 20 || NewYOffset < -20)
        return false;
    m_nxOffset = static_cast<signed char>(NewXOffset);
    m_nyOffset = static_cast<signed char>(NewYOffset);
    Refresh();
    return true;
}

bool CShadowUI::SetColor(DWORD NewColor) {
    m_Color = NewColor & 0xFFFFFF;
    Refresh();
    return true;
}

bool CShadowUI::SetImage(LPCTSTR szImage) {
    if (szImage == nullptr)
        return false;
    m_bIsImageMode = true;
    m_sShadowImage = szImage;
    Refresh();
    return true;
}

bool CShadowUI::SetShadowCorner(RECT rcCorner) {
    if (rcCorner.left < 0 || rcCorner.top < 0 || rcCorner.right < 0 || rcCorner.bottom < 0)
        return false;
    m_rcShadowCorner = rcCorner;
    Refresh();
    return true;
}

bool CShadowUI::CopyShadow(CShadowUI* pShadow) {
    if (pShadow == nullptr)
        return false;
    if (m_bIsImageMode) {
        pShadow->SetImage(m_sShadowImage);
        pShadow->SetShadowCorner(m_rcShadowCorner);
    } else {
        pShadow->SetSize(m_nSize);
        pShadow->SetSharpness(m_nSharpness);
        pShadow->SetDarkness(m_nDarkness);
        pShadow->SetColor(m_Color);
        pShadow->SetPosition(m_nxOffset, m_nyOffset);
    }
    return true;
}

// ======================================================== the window

void CShadowUI::Create(CPaintManagerUI* pPaintManager) {
    if (!m_bIsShowShadow || pPaintManager == nullptr || m_hWnd != nullptr)
        return;
    HWND hParentWnd = pPaintManager->GetPaintWindow();
    if (hParentWnd == nullptr || !Initialize(CPaintManagerUI::GetInstance()))
        return;
    m_pManager = pPaintManager;
    m_hParent = hParentWnd;
    GetShadowMap()[hParentWnd] = this;
    const LONG_PTR lParentStyle = plat::GetWindowLongPtr(hParentWnd, GWL_STYLE);
    m_hWnd =
        plat::CreateWindowEx(WS_EX_LAYERED | WS_EX_TRANSPARENT, kShadowClass, nullptr,
                             WS_POPUPWINDOW | static_cast<DWORD>(lParentStyle & WS_DLGFRAME), 0, 0,
                             0, 0, hParentWnd, nullptr, CPaintManagerUI::GetInstance(), nullptr);
    if (m_hWnd == nullptr) {
        GetShadowMap().erase(hParentWnd);
        m_hParent = nullptr;
        return;
    }
    if ((lParentStyle & WS_VISIBLE) == 0) {
        m_Status = SS_ENABLED;
    } else if ((lParentStyle & (WS_MAXIMIZE | WS_MINIMIZE)) != 0) {
        m_Status = SS_ENABLED | SS_PARENTVISIBLE;
    } else {
        m_Status = SS_ENABLED | SS_VISABLE | SS_PARENTVISIBLE;
        plat::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        Update(hParentWnd);
    }
    // From now on every message of the skinned window passes here first.
    m_OriParentProc = reinterpret_cast<WNDPROC>(plat::SetWindowLongPtr(
        hParentWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CShadowUI::ParentProc)));
}

RECT CShadowUI::ShadowRect(const RECT& rcParent) const {
    const int W = rcParent.right - rcParent.left, H = rcParent.bottom - rcParent.top;
    if (m_bIsImageMode) {
        const RECT& c = m_rcShadowCorner;
        return RECT{rcParent.left - c.left, rcParent.top - c.top,
                    rcParent.left - c.left + W + c.left + c.right,
                    rcParent.top - c.top + H + c.top + c.bottom};
    }
    const int x = rcParent.left + m_nxOffset - m_nSize, y = rcParent.top + m_nyOffset - m_nSize;
    return RECT{x, y, x + W + 2 * m_nSize, y + H + 2 * m_nSize};
}

LRESULT CShadowUI::ParentProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto it = GetShadowMap().find(hwnd);
    if (it == GetShadowMap().end())
        return plat::DefWindowProc(hwnd, uMsg, wParam, lParam);
    CShadowUI* pThis = it->second;
    WNDPROC pOriProc = pThis->m_OriParentProc;
    switch (uMsg) {
    case WM_MOVE:
        if ((pThis->m_Status & SS_VISABLE) != 0) {
            RECT rc;
            plat::GetWindowRect(hwnd, &rc);
            const RECT rcShadow = pThis->ShadowRect(rc);
            plat::SetWindowPos(pThis->m_hWnd, nullptr, rcShadow.left, rcShadow.top, 0, 0,
                               SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
        }
        break;
    case WM_SIZE:
        if ((pThis->m_Status & SS_ENABLED) != 0) {
            if (wParam == SIZE_MAXIMIZED || wParam == SIZE_MINIMIZED) {
                plat::ShowWindow(pThis->m_hWnd, SW_HIDE);
                pThis->m_Status &= ~SS_VISABLE;
            } else if ((pThis->m_Status & SS_PARENTVISIBLE) != 0) {
                // A grown window's region is final only at its next paint.
                if (LOWORD(lParam) > LOWORD(pThis->m_WndSize) ||
                    HIWORD(lParam) > HIWORD(pThis->m_WndSize))
                    pThis->m_bUpdate = true;
                else
                    pThis->Update(hwnd);
                if ((pThis->m_Status & SS_VISABLE) == 0) {
                    plat::ShowWindow(pThis->m_hWnd, SW_SHOWNOACTIVATE);
                    pThis->m_Status |= SS_VISABLE;
                }
            }
            pThis->m_WndSize = lParam;
        }
        break;
    case WM_PAINT:
        if (pThis->m_bUpdate) {
            pThis->Update(hwnd);
            pThis->m_bUpdate = false;
        }
        break;
    case WM_EXITSIZEMOVE:
        if ((pThis->m_Status & SS_VISABLE) != 0)
            pThis->Update(hwnd);
        break;
    case WM_SHOWWINDOW:
        if ((pThis->m_Status & SS_ENABLED) != 0) {
            if (wParam == FALSE) {
                plat::ShowWindow(pThis->m_hWnd, SW_HIDE);
                pThis->m_Status &= ~(SS_VISABLE | SS_PARENTVISIBLE);
            } else if ((pThis->m_Status & SS_PARENTVISIBLE) == 0) {
                pThis->m_bUpdate = true;
                plat::ShowWindow(pThis->m_hWnd, SW_SHOWNOACTIVATE);
                pThis->m_Status |= SS_VISABLE | SS_PARENTVISIBLE;
            }
        }
        break;
    case WM_DESTROY:
        if (plat::IsWindow(pThis->m_hWnd))
            plat::DestroyWindow(pThis->m_hWnd);
        pThis->m_hWnd = nullptr;
        pThis->m_Status = 0;
        break;
    case WM_NCDESTROY:
        GetShadowMap().erase(hwnd);
        pThis->m_hParent = nullptr;
        break;
    default:
        break;
    }
    return plat::CallWindowProc(pOriProc, hwnd, uMsg, wParam, lParam);
}

void CShadowUI::Update(HWND hParent) {
    if (m_hWnd == nullptr || hParent == nullptr)
        return;
    RECT rcParent;
    if (!plat::GetWindowRect(hParent, &rcParent))
        return;
    if (m_bIsImageMode && m_sShadowImage.IsEmpty())
        return;
    const RECT rcShadow = ShadowRect(rcParent);
    const int nShadWndWid = rcShadow.right - rcShadow.left;
    const int nShadWndHei = rcShadow.bottom - rcShadow.top;
    if (nShadWndWid <= 0 || nShadWndHei <= 0)
        return;

    void* pvBits = nullptr;
    HBITMAP hbitmap = plat::CreateDIB32(nShadWndWid, nShadWndHei, &pvBits);
    if (hbitmap == nullptr || pvBits == nullptr)
        return;
    HDC hMemDC = plat::CreateCompatibleDC(nullptr);
    HGDIOBJ hOriBmp = plat::SelectObject(hMemDC, hbitmap);
    bool bDrawn = true;
    if (m_bIsImageMode) {
        const TImageInfo* data =
            m_pManager != nullptr ? m_pManager->GetImageEx(m_sShadowImage) : nullptr;
        if (data == nullptr) {
            bDrawn = false; // the last picture stays
        } else {
            RECT rcPaint = {0, 0, nShadWndWid, nShadWndHei};
            RECT rcBmpPart = {0, 0, data->nX, data->nY};
            CRenderEngine::DrawImage(hMemDC, data->hBitmap, rcPaint, rcPaint, rcBmpPart,
                                     m_rcShadowCorner, true, 0xFF, true, false, false);
        }
    } else {
        const int W = rcParent.right - rcParent.left, H = rcParent.bottom - rcParent.top;
        HRGN hParentRgn = plat::CreateRectRgn(0, 0, 0, 0);
        const bool bHasRgn = plat::GetWindowRgn(hParent, hParentRgn) != ERROR;
        // Straight into the new (all clear) bitmap.
        ComputeShadow(bHasRgn ? hParentRgn : nullptr, W, H, static_cast<uint32_t*>(pvBits));
        plat::DeleteObject(hParentRgn);
    }
    if (bDrawn) {
        POINT ptDst = {rcShadow.left, rcShadow.top};
        POINT ptSrc = {0, 0};
        SIZE szShadow = {nShadWndWid, nShadWndHei};
        plat::MoveWindow(m_hWnd, ptDst.x, ptDst.y, nShadWndWid, nShadWndHei, FALSE);
        BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        plat::UpdateLayeredWindow(m_hWnd, nullptr, &ptDst, &szShadow, hMemDC, &ptSrc, 0, &bf,
                                  ULW_ALPHA);
    }
    plat::SelectObject(hMemDC, hOriBmp);
    plat::DeleteObject(hbitmap);
    plat::DeleteDC(hMemDC);
}

// ============================================================ computation

std::vector<uint32_t> CShadowUI::ComputeShadow(HRGN hRegion, int W, int H) const {
    const int SW = W + 2 * m_nSize, SH = H + 2 * m_nSize;
    if (W <= 0 || H <= 0 || SW <= 0 || SH <= 0)
        return {};
    std::vector<uint32_t> pic(static_cast<size_t>(SW) * SH, 0u);
    ComputeShadow(hRegion, W, H, pic.data());
    return pic;
}

bool CShadowUI::ComputeShadow(HRGN hRegion, int W, int H, uint32_t* pic) const {
    const int S = m_nSize, P = m_nSharpness, D = m_nDarkness, X = m_nxOffset, Y = m_nyOffset;
    const int SW = W + 2 * S, SH = H + 2 * S;
    if (pic == nullptr || W <= 0 || H <= 0 || SW <= 0 || SH <= 0)
        return false;
    using Span = std::array<int, 2>;
    const Span kEmpty = {W, 0}; // start past end: no pixels

    // 1. Row spans of the region: per window row (window coordinates) and
    // per shadow row (shifted by the size), guard rows around them.
    const int nAnchors = std::max(H, SH);
    std::vector<Span> anchors(nAnchors + 2, kEmpty), original(H, kEmpty);
    std::vector<RGNROWSPAN> spans(H, RGNROWSPAN{0, 0});
    if (hRegion != nullptr)
        plat::GetRgnRowSpans(hRegion, 0, H, spans.data());
    const int base = S > 0 ? S : 0;
    for (int i = 0; i < H; ++i) {
        const int l = std::max<int>(spans[i].left, 0), r = std::min<int>(spans[i].right, W);
        if (l >= r)
            continue;
        original[i] = Span{l, r};
        anchors[base + i + 1] = Span{l + S, r + S};
    }

    // 2. Erosion: the shape shrinks by one pixel each way per round.
    std::vector<Span> eroded(nAnchors + 2, kEmpty);
    for (int round = 0; round < P - S; ++round) {
        for (int j = 1; j < nAnchors + 1; ++j) {
            eroded[j][0] = std::max({anchors[j - 1][0], anchors[j][0], anchors[j + 1][0]}) + 1;
            eroded[j][1] = std::min({anchors[j - 1][1], anchors[j][1], anchors[j + 1][1]}) - 1;
        }
        anchors.swap(eroded);
    }
    // Shadow row i is anchors[i + off] from here on.
    const int off = (S < 0 ? -S : 0) + 1;
    auto A = [&](int i) -> const Span& { return anchors[static_cast<size_t>(i + off)]; };

    // 3. The kernel.
    const int K = std::max(S, P);
    const int C = S > P ? S - P : 0;
    const int KW = 2 * K + 1;
    std::vector<uint32_t> kernel(static_cast<size_t>(KW) * KW, 0u);
    for (int i = 0; i < KW; ++i) {
        for (int j = 0; j < KW; ++j) {
            const double d = std::sqrt(static_cast<double>((i - K) * (i - K)) +
                                       static_cast<double>((j - K) * (j - K)));
            uint32_t alpha = 0;
            if (d < C)
                alpha = static_cast<uint32_t>(D);
            else if (d <= K)
                alpha = static_cast<uint32_t>((1 - (d - C) / (P + 1)) * D);
            else
                continue;
            kernel[static_cast<size_t>(i) * KW + j] = PreMultiplied(m_Color, alpha);
        }
    }
    auto stamp = [&](int cx, int cy) {
        for (int k = 0; k < KW; ++k) {
            const int y = cy - K + k;
            if (y < 0 || y >= SH)
                continue;
            uint32_t* row = pic + static_cast<size_t>(y) * SW;
            const uint32_t* krow = kernel.data() + static_cast<size_t>(k) * KW;
            for (int l = 0; l < KW; ++l) {
                const int x = cx - K + l;
                if (x >= 0 && x < SW && row[x] < krow[l])
                    row[x] = krow[l];
            }
        }
    };

    // 4. The blurred border: the boundary pixels of each row that the rows
    // above and below do not cover.
    for (int i = K; i < SH - K; ++i) {
        const int a = A(i)[0], b = A(i)[1];
        if (a >= b)
            continue;
        int j = a;
        for (; j < std::min(std::max(A(i - 1)[0], A(i + 1)[0]) + 1, b); ++j)
            stamp(j, i);
        for (j = std::max(j, std::min(A(i - 1)[1], A(i + 1)[1]) - 1); j < b; ++j)
            stamp(j, i);
    }

    // 5. The interior at full darkness, transparent under the window.
    const uint32_t clCenter = PreMultiplied(m_Color, static_cast<uint32_t>(D));
    auto fill = [&](int i, int from, int to, uint32_t v) {
        uint32_t* row = pic + static_cast<size_t>(i) * SW;
        for (int j = std::max(from, 0); j < std::min(to, SW); ++j)
            row[j] = v;
    };
    const int iEnd = std::max(SH - K, std::min(H + S - Y, H + 2 * S));
    for (int i = std::min(K, std::max(S - Y, 0)); i < iEnd && i < SH; ++i) {
        const int a = A(i)[0], b = A(i)[1];
        const int r = i - S + Y;
        if (r < 0 || r >= H) {
            fill(i, a, b, clCenter);
            continue;
        }
        const int s = original[r][0] + S - X, e = original[r][1] + S - X;
        fill(i, a, std::min(s, b), clCenter);
        fill(i, std::max(s, 0), std::min(e, SW), 0u);
        fill(i, std::max(e, a), b, clCenter);
    }
    return true;
}

} // namespace Veneer
