// CPaintManagerUI, resource side: the process-wide skin configuration and
// lookup, and each manager's image cache, fonts, default attribute lists,
// option groups and default colours.
#include "ui/UIManager.h"

#include "plat/automation/automation.h"
#include "plat/gfx/gdi.h"
#include "plat/sys/files.h"
#include "plat/sys/text.h"
#include "ui/UIControl.h"
#include "ui/UIRender.h"
#include "ui/UIResourceZip.h"
#include "ui/UIShadow.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <unordered_map>

namespace Veneer {

/////////////////////////////////////////////////////////////////////////////
// Process-wide configuration

namespace {

struct SkinConfig {
    HINSTANCE hInstance = nullptr;
    HINSTANCE hResourceInstance = nullptr;
    CStdString strResourcePath;
    CStdString strResourceZip;
    std::unique_ptr<CSkinArchive> zip; // open when bCachedResourceZip
    bool bCachedResourceZip = false;
    CStdString strDefaultFontName; // overrides the system font's face when set
};

SkinConfig& Config() {
    static SkinConfig config;
    return config;
}

const wchar_t kMemBuffer[] = L"membuffer";

// Windows paths use '\\'; the file system here uses '/'.
std::string ToPlatformPath(LPCTSTR path) {
    std::string s = plat::WideToUtf8(path ? path : L"");
    for (char& ch : s)
        if (ch == '\\')
            ch = '/';
    return s;
}

enum class FileRead { Ok, OpenFailed, Empty, TooLarge, ReadFailed };

FileRead ReadFileBytes(const std::string& path, std::vector<BYTE>& data, uint64_t maxSize) {
    data.clear();
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return FileRead::OpenFailed;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return FileRead::OpenFailed;
    uint64_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return FileRead::OpenFailed;
    if (size == 0)
        return FileRead::Empty;
    if (maxSize > 0 && size > maxSize)
        return FileRead::TooLarge;
    try {
        data.resize(static_cast<size_t>(size));
    } catch (const std::exception&) {
        data.clear();
        return FileRead::ReadFailed;
    }
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size));
    if (static_cast<uint64_t>(in.gcount()) != size) {
        data.clear();
        return FileRead::ReadFailed;
    }
    return FileRead::Ok;
}

bool IsPathSeparator(wchar_t ch) {
    return ch == L'\\' || ch == L'/';
}

} // namespace

HINSTANCE CPaintManagerUI::GetInstance() {
    return Config().hInstance;
}

void CPaintManagerUI::SetInstance(HINSTANCE hInst) {
    Config().hInstance = hInst;
    CShadowUI::Initialize(hInst);
    // A program run headless for automation serves its socket from here.
    plat::AutomationStartFromEnvironment();
}

CStdString CPaintManagerUI::GetInstancePath() {
    if (!Config().hInstance)
        return CStdString();
    wchar_t szModule[MAX_PATH + 1] = {0};
    DWORD n = plat::GetModuleFileName(Config().hInstance, szModule, MAX_PATH);
    if (n == 0)
        return CStdString();
    szModule[MAX_PATH] = 0;
    CStdString path(szModule);
    int pos = path.GetLength() - 1;
    while (pos >= 0 && !IsPathSeparator(path[pos]))
        --pos;
    return path.Left(pos + 1);
}

CStdString CPaintManagerUI::GetCurrentPath() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::current_path(ec);
    if (ec)
        return CStdString();
    return CStdString(plat::Utf8ToWide(p.string()));
}

void CPaintManagerUI::SetCurrentPath(LPCTSTR pStrPath) {
    if (!pStrPath || !*pStrPath)
        return;
    std::error_code ec;
    std::filesystem::current_path(ToPlatformPath(pStrPath), ec);
}

HINSTANCE CPaintManagerUI::GetResourceDll() {
    if (!Config().hResourceInstance)
        return Config().hInstance;
    return Config().hResourceInstance;
}

void CPaintManagerUI::SetResourceDll(HINSTANCE hInst) {
    Config().hResourceInstance = hInst;
}

const CStdString& CPaintManagerUI::GetResourcePath() {
    return Config().strResourcePath;
}

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
    CStdString& path = Config().strResourcePath;
    path = pStrPath;
    if (path.IsEmpty())
        return;
    if (!IsPathSeparator(path[path.GetLength() - 1]))
        path += L'/';
}

void CPaintManagerUI::SetResourceZip(LPVOID pVoid, unsigned int len) {
    SkinConfig& c = Config();
    if (c.strResourceZip == kMemBuffer)
        return;
    c.zip.reset();
    c.strResourceZip = kMemBuffer;
    c.bCachedResourceZip = true;
    c.zip = CSkinArchive::OpenMemory(pVoid, len);
}

void CPaintManagerUI::SetResourceZip(LPCTSTR pstrZip, bool bCachedResourceZip) {
    SkinConfig& c = Config();
    if (c.strResourceZip == (pstrZip ? pstrZip : L"") && c.bCachedResourceZip == bCachedResourceZip)
        return;
    c.zip.reset();
    c.strResourceZip = pstrZip;
    c.bCachedResourceZip = bCachedResourceZip;
    if (bCachedResourceZip && !c.strResourceZip.IsEmpty()) {
        CStdString sFile = c.strResourcePath + c.strResourceZip;
        c.zip = CSkinArchive::OpenFile(CStdString(plat::Utf8ToWide(ToPlatformPath(sFile))));
    }
}

const CStdString& CPaintManagerUI::GetResourceZip() {
    return Config().strResourceZip;
}

HZIP CPaintManagerUI::GetResourceZipHandle() {
    return Config().zip.get();
}

bool CPaintManagerUI::IsCachedResourceZip() {
    return Config().bCachedResourceZip;
}

void CPaintManagerUI::Term() {
    Config().zip.reset();
}

bool CPaintManagerUI::ReadWholeFile(LPCTSTR pstrPath, std::vector<BYTE>& data) {
    return ReadFileBytes(ToPlatformPath(pstrPath), data, 0) == FileRead::Ok;
}

SkinFileStatus CPaintManagerUI::LoadSkinFile(LPCTSTR pstrName, std::vector<BYTE>& data,
                                             DWORD dwMaxSize) {
    data.clear();
    if (!pstrName)
        pstrName = L"";
    const SkinConfig& c = Config();
    if (c.strResourceZip.IsEmpty()) {
        CStdString sFile = c.strResourcePath + pstrName;
        switch (ReadFileBytes(ToPlatformPath(sFile), data, dwMaxSize)) {
        case FileRead::Ok:
            return SkinFileStatus::Ok;
        case FileRead::OpenFailed:
            return SkinFileStatus::OpenFileFailed;
        case FileRead::Empty:
            return SkinFileStatus::Empty;
        case FileRead::TooLarge:
            return SkinFileStatus::TooLarge;
        case FileRead::ReadFailed:
            return SkinFileStatus::ReadFailed;
        }
        return SkinFileStatus::ReadFailed;
    }
    std::unique_ptr<CSkinArchive> temporary;
    CSkinArchive* archive = nullptr;
    if (c.bCachedResourceZip) {
        archive = c.zip.get();
    } else {
        CStdString sFile = c.strResourcePath + c.strResourceZip;
        temporary = CSkinArchive::OpenFile(CStdString(plat::Utf8ToWide(ToPlatformPath(sFile))));
        archive = temporary.get();
    }
    if (!archive)
        return SkinFileStatus::ZipOpenFailed;
    switch (archive->Extract(pstrName, data, dwMaxSize)) {
    case CSkinArchive::Result::Ok:
        return SkinFileStatus::Ok;
    case CSkinArchive::Result::NotFound:
        return SkinFileStatus::NotInZip;
    case CSkinArchive::Result::Empty:
        return SkinFileStatus::Empty;
    case CSkinArchive::Result::TooLarge:
        return SkinFileStatus::TooLarge;
    case CSkinArchive::Result::ExtractFailed:
        return SkinFileStatus::UnzipFailed;
    }
    return SkinFileStatus::UnzipFailed;
}

/////////////////////////////////////////////////////////////////////////////
// Per-manager tables

struct CPaintManagerUI::ResourceState {
    std::unordered_map<std::wstring, TImageInfo*> images; // owned
    std::vector<TFontInfo*> fonts;                        // owned
    TFontInfo defaultFont;
    CStdStringPtrMap defaultAttrs; // element -> owned CStdString*
    CStdStringPtrMap optionGroups; // group -> owned CStdPtrArray*
    DWORD dwDefaultDisabledColor = 0xFFA7A6AA;
    DWORD dwDefaultFontColor = 0xFF000001;
    DWORD dwDefaultLinkFontColor = 0xFF0000FF;
    DWORD dwDefaultLinkHoverFontColor = 0xFFD3215F;
    DWORD dwDefaultSelectedBkColor = 0xFFBAE4FF;
    CPaintManagerUI* pParentResourcePM = nullptr;
    HDC hDcPaint = nullptr;
    bool bAlphaBackground = false;
    bool bUseGdiplusText = false;

    ~ResourceState() {
        for (auto& kv : images)
            CRenderEngine::FreeImage(kv.second);
        for (TFontInfo* f : fonts) {
            plat::DeleteObject(f->hFont);
            delete f;
        }
        if (defaultFont.hFont)
            plat::DeleteObject(defaultFont.hFont);
        for (int i = 0; i < defaultAttrs.GetSize(); ++i)
            delete static_cast<CStdString*>(defaultAttrs.Find(defaultAttrs.GetAt(i)));
        for (int i = 0; i < optionGroups.GetSize(); ++i)
            delete static_cast<CStdPtrArray*>(optionGroups.Find(optionGroups.GetAt(i)));
    }
};

namespace {

// The system default GUI font's description.
LOGFONT SystemFontDescription() {
    LOGFONT lf;
    memset(&lf, 0, sizeof(lf));
    if (plat::GetObject(plat::GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONT), &lf) == 0) {
        lf.lfHeight = -12;
        lf.lfWeight = FW_NORMAL;
    }
    return lf;
}

void SetFaceName(LOGFONT& lf, LPCTSTR face) {
    memset(lf.lfFaceName, 0, sizeof(lf.lfFaceName));
    if (face)
        wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
}

// Bold adds FW_BOLD to the system font's weight (400 becomes 1100); the
// drawing layer takes weights up to 1000, where the boldest face is chosen
// anyway.
LONG BoldWeight(LONG weight) {
    return std::min<LONG>(weight + FW_BOLD, 1000);
}

bool SameFont(const TFontInfo* f, LPCTSTR face, int nSize, bool bBold, bool bUnderline,
              bool bItalic) {
    return f->sFontName == (face ? face : L"") && f->iSize == nSize && f->bBold == bBold &&
           f->bUnderline == bUnderline && f->bItalic == bItalic;
}

} // namespace

CPaintManagerUI::CPaintManagerUI() : m_pRes(new ResourceState()) {
    LOGFONT lf = SystemFontDescription();
    lf.lfCharSet = DEFAULT_CHARSET;
    if (!Config().strDefaultFontName.IsEmpty())
        SetFaceName(lf, Config().strDefaultFontName);
    TFontInfo& f = m_pRes->defaultFont;
    f.hFont = plat::CreateFontIndirect(&lf);
    f.sFontName = lf.lfFaceName;
    f.iSize = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    f.bBold = lf.lfWeight >= FW_BOLD;
    f.bUnderline = lf.lfUnderline != 0;
    f.bItalic = lf.lfItalic != 0;
}

CPaintManagerUI::~CPaintManagerUI() {
    TermControlSide();
    m_pRes.reset();
}

// ---- Images ----

const TImageInfo* CPaintManagerUI::GetImage(LPCTSTR bitmap) {
    if (!bitmap)
        return nullptr;
    for (CPaintManagerUI* pm = this; pm; pm = pm->m_pRes->pParentResourcePM) {
        auto it = pm->m_pRes->images.find(bitmap);
        if (it != pm->m_pRes->images.end())
            return it->second;
    }
    return nullptr;
}

const TImageInfo* CPaintManagerUI::GetImageEx(LPCTSTR bitmap, LPCTSTR type, DWORD mask) {
    if (!bitmap)
        return nullptr;
    auto it = m_pRes->images.find(bitmap);
    if (it != m_pRes->images.end())
        return it->second;
    return AddImage(bitmap, type, mask);
}

const TImageInfo* CPaintManagerUI::AddImage(LPCTSTR bitmap, LPCTSTR type, DWORD mask) {
    if (!bitmap || !*bitmap)
        return nullptr;
    TImageInfo* data = nullptr;
    if (type && *type) {
        if (bitmap[0] < L'0' || bitmap[0] > L'9')
            return nullptr;
        long id = wcstol(bitmap, nullptr, 10);
        if (id < 0 || id > 0xFFFF)
            return nullptr;
        data = CRenderEngine::LoadImage(STRINGorID(static_cast<UINT>(id)), type, mask);
    } else {
        data = CRenderEngine::LoadImage(STRINGorID(bitmap), nullptr, mask);
    }
    if (!data)
        return nullptr;
    data->sResType = type;
    data->dwMask = mask;
    auto res = m_pRes->images.emplace(bitmap, data);
    if (!res.second) {
        CRenderEngine::FreeImage(data);
        return res.first->second;
    }
    return data;
}

const TImageInfo* CPaintManagerUI::AddImage(LPCTSTR bitmap, HBITMAP hBitmap, int iWidth,
                                            int iHeight, bool bAlpha) {
    if (!bitmap || !hBitmap || iWidth <= 0 || iHeight <= 0)
        return nullptr;
    auto it = m_pRes->images.find(bitmap);
    if (it != m_pRes->images.end())
        return it->second;
    TImageInfo* data = new TImageInfo();
    data->hBitmap = hBitmap;
    data->nX = iWidth;
    data->nY = iHeight;
    data->alphaChannel = bAlpha;
    m_pRes->images.emplace(bitmap, data);
    return data;
}

bool CPaintManagerUI::RemoveImage(LPCTSTR bitmap) {
    if (!bitmap)
        return false;
    auto it = m_pRes->images.find(bitmap);
    if (it == m_pRes->images.end())
        return false;
    CRenderEngine::FreeImage(it->second);
    m_pRes->images.erase(it);
    return true;
}

void CPaintManagerUI::RemoveAllImages() {
    for (auto& kv : m_pRes->images)
        CRenderEngine::FreeImage(kv.second);
    m_pRes->images.clear();
}

bool CPaintManagerUI::ReloadImageBitmaps() {
    bool changed = false;
    for (auto& kv : m_pRes->images) {
        TImageInfo* old = kv.second;
        TImageInfo* fresh = nullptr;
        if (!old->sResType.IsEmpty()) {
            const wchar_t* name = kv.first.c_str();
            if (name[0] >= L'0' && name[0] <= L'9') {
                long id = wcstol(name, nullptr, 10);
                if (id >= 0 && id <= 0xFFFF)
                    fresh = CRenderEngine::LoadImage(STRINGorID(static_cast<UINT>(id)),
                                                     old->sResType, old->dwMask);
            }
        } else {
            fresh = CRenderEngine::LoadImage(STRINGorID(kv.first.c_str()), nullptr, old->dwMask);
        }
        if (!fresh)
            continue;
        plat::DeleteObject(old->hBitmap);
        old->hBitmap = fresh->hBitmap;
        old->nX = fresh->nX;
        old->nY = fresh->nY;
        old->alphaChannel = fresh->alphaChannel;
        fresh->hBitmap = nullptr;
        CRenderEngine::FreeImage(fresh);
        changed = true;
    }
    return changed;
}

void CPaintManagerUI::ReloadAllImages() {
    if (ReloadImageBitmaps() && GetRoot())
        GetRoot()->Invalidate();
}

// ---- Fonts ----

void CPaintManagerUI::UpdateFontMetrics(TFontInfo* pFontInfo) {
    if (!pFontInfo || !pFontInfo->hFont)
        return;
    HDC hdc = m_pRes->hDcPaint;
    HDC hTemp = nullptr;
    if (!hdc) {
        // Without a window, measure through a memory DC so that controls
        // painted off screen still know their font's height.
        hTemp = plat::CreateCompatibleDC(nullptr);
        hdc = hTemp;
    }
    if (!hdc)
        return;
    HGDIOBJ hOld = plat::SelectObject(hdc, pFontInfo->hFont);
    plat::GetTextMetrics(hdc, &pFontInfo->tm);
    if (hOld)
        plat::SelectObject(hdc, hOld);
    if (hTemp)
        plat::DeleteDC(hTemp);
}

HFONT CPaintManagerUI::AddFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                               bool bItalic) {
    return AddFontAt(GetCustomFontCount(), pStrFontName, nSize, bBold, bUnderline, bItalic);
}

HFONT CPaintManagerUI::AddFontAt(int index, LPCTSTR pStrFontName, int nSize, bool bBold,
                                 bool bUnderline, bool bItalic) {
    LOGFONT lf = SystemFontDescription();
    SetFaceName(lf, pStrFontName);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -nSize;
    if (bBold)
        lf.lfWeight = BoldWeight(lf.lfWeight);
    if (bUnderline)
        lf.lfUnderline = TRUE;
    if (bItalic)
        lf.lfItalic = TRUE;
    lf.lfQuality = CLEARTYPE_QUALITY;
    HFONT hFont = plat::CreateFontIndirect(&lf);
    if (!hFont)
        return nullptr;
    TFontInfo* pFontInfo = new TFontInfo();
    pFontInfo->hFont = hFont;
    pFontInfo->sFontName = lf.lfFaceName;
    pFontInfo->iSize = nSize;
    pFontInfo->bBold = bBold;
    pFontInfo->bUnderline = bUnderline;
    pFontInfo->bItalic = bItalic;
    if (m_pRes->hDcPaint)
        UpdateFontMetrics(pFontInfo);
    auto& fonts = m_pRes->fonts;
    if (index < 0)
        index = 0;
    if (index > static_cast<int>(fonts.size()))
        index = static_cast<int>(fonts.size());
    fonts.insert(fonts.begin() + index, pFontInfo);
    return hFont;
}

void CPaintManagerUI::SetDefaultFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                                     bool bItalic) {
    LOGFONT lf = SystemFontDescription();
    SetFaceName(lf, pStrFontName);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -nSize;
    if (bBold)
        lf.lfWeight = BoldWeight(lf.lfWeight);
    if (bUnderline)
        lf.lfUnderline = TRUE;
    if (bItalic)
        lf.lfItalic = TRUE;
    HFONT hFont = plat::CreateFontIndirect(&lf);
    if (!hFont)
        return;
    TFontInfo& f = m_pRes->defaultFont;
    if (f.hFont)
        plat::DeleteObject(f.hFont);
    f.hFont = hFont;
    f.sFontName = lf.lfFaceName;
    f.iSize = nSize;
    f.bBold = bBold;
    f.bUnderline = bUnderline;
    f.bItalic = bItalic;
    f.tm = TEXTMETRIC{};
    if (m_pRes->hDcPaint)
        UpdateFontMetrics(&f);
}

HFONT CPaintManagerUI::GetFont(int index) {
    if (index < 0 || index >= GetCustomFontCount())
        return GetDefaultFontInfo()->hFont;
    return m_pRes->fonts[static_cast<size_t>(index)]->hFont;
}

HFONT CPaintManagerUI::GetFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                               bool bItalic) {
    for (CPaintManagerUI* pm = this; pm; pm = pm->m_pRes->pParentResourcePM) {
        for (TFontInfo* f : pm->m_pRes->fonts)
            if (SameFont(f, pStrFontName, nSize, bBold, bUnderline, bItalic))
                return f->hFont;
    }
    return nullptr;
}

bool CPaintManagerUI::FindFont(HFONT hFont) {
    if (!hFont)
        return false;
    for (CPaintManagerUI* pm = this; pm; pm = pm->m_pRes->pParentResourcePM) {
        for (TFontInfo* f : pm->m_pRes->fonts)
            if (f->hFont == hFont)
                return true;
    }
    return false;
}

bool CPaintManagerUI::FindFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                               bool bItalic) {
    return GetFont(pStrFontName, nSize, bBold, bUnderline, bItalic) != nullptr;
}

int CPaintManagerUI::GetFontIndex(HFONT hFont) {
    for (size_t i = 0; i < m_pRes->fonts.size(); ++i)
        if (hFont && m_pRes->fonts[i]->hFont == hFont)
            return static_cast<int>(i);
    return -1;
}

int CPaintManagerUI::GetFontIndex(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                                  bool bItalic) {
    for (size_t i = 0; i < m_pRes->fonts.size(); ++i)
        if (SameFont(m_pRes->fonts[i], pStrFontName, nSize, bBold, bUnderline, bItalic))
            return static_cast<int>(i);
    return -1;
}

bool CPaintManagerUI::RemoveFont(HFONT hFont) {
    int index = GetFontIndex(hFont);
    return index >= 0 && RemoveFontAt(index);
}

bool CPaintManagerUI::RemoveFontAt(int index) {
    if (index < 0 || index >= GetCustomFontCount())
        return false;
    TFontInfo* f = m_pRes->fonts[static_cast<size_t>(index)];
    plat::DeleteObject(f->hFont);
    delete f;
    m_pRes->fonts.erase(m_pRes->fonts.begin() + index);
    return true;
}

void CPaintManagerUI::RemoveAllFonts() {
    for (TFontInfo* f : m_pRes->fonts) {
        plat::DeleteObject(f->hFont);
        delete f;
    }
    m_pRes->fonts.clear();
}

int CPaintManagerUI::GetCustomFontCount() const {
    return static_cast<int>(m_pRes->fonts.size());
}

TFontInfo* CPaintManagerUI::GetFontInfo(int index) {
    if (index < 0 || index >= GetCustomFontCount())
        return GetDefaultFontInfo();
    TFontInfo* f = m_pRes->fonts[static_cast<size_t>(index)];
    if (f->tm.tmHeight == 0)
        UpdateFontMetrics(f);
    return f;
}

TFontInfo* CPaintManagerUI::FindFontInfo(HFONT hFont) {
    for (CPaintManagerUI* pm = this; pm; pm = pm->m_pRes->pParentResourcePM) {
        for (TFontInfo* f : pm->m_pRes->fonts)
            if (f->hFont == hFont)
                return f;
        if (pm->m_pRes->defaultFont.hFont == hFont)
            return &pm->m_pRes->defaultFont;
    }
    return nullptr;
}

TFontInfo* CPaintManagerUI::GetFontInfo(HFONT hFont) {
    TFontInfo* f = hFont ? FindFontInfo(hFont) : nullptr;
    if (!f)
        return GetDefaultFontInfo();
    if (f->tm.tmHeight == 0)
        UpdateFontMetrics(f);
    return f;
}

TFontInfo* CPaintManagerUI::GetDefaultFontInfo() {
    CPaintManagerUI* pm = this;
    while (pm->m_pRes->pParentResourcePM)
        pm = pm->m_pRes->pParentResourcePM;
    TFontInfo* f = &pm->m_pRes->defaultFont;
    if (f->tm.tmHeight == 0)
        pm->UpdateFontMetrics(f);
    return f;
}

// ---- Default attribute lists ----

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR pStrControlName,
                                              LPCTSTR pStrControlAttrList) {
    if (!pStrControlName)
        return;
    if (m_pRes->defaultAttrs.Find(pStrControlName))
        return;
    CStdString* pList = new CStdString(pStrControlAttrList);
    if (!m_pRes->defaultAttrs.Insert(pStrControlName, pList))
        delete pList;
}

LPCTSTR CPaintManagerUI::GetDefaultAttributeList(LPCTSTR pStrControlName) const {
    if (!pStrControlName)
        return nullptr;
    for (const CPaintManagerUI* pm = this; pm; pm = pm->m_pRes->pParentResourcePM) {
        auto* pList = static_cast<CStdString*>(pm->m_pRes->defaultAttrs.Find(pStrControlName));
        if (pList)
            return pList->GetData();
    }
    return nullptr;
}

bool CPaintManagerUI::RemoveDefaultAttributeList(LPCTSTR pStrControlName) {
    if (!pStrControlName)
        return false;
    auto* pList = static_cast<CStdString*>(m_pRes->defaultAttrs.Find(pStrControlName));
    if (!pList)
        return false;
    delete pList;
    return m_pRes->defaultAttrs.Remove(pStrControlName);
}

const CStdStringPtrMap& CPaintManagerUI::GetDefaultAttribultes() const {
    return m_pRes->defaultAttrs;
}

void CPaintManagerUI::RemoveAllDefaultAttributeList() {
    CStdStringPtrMap& m = m_pRes->defaultAttrs;
    for (int i = 0; i < m.GetSize(); ++i)
        delete static_cast<CStdString*>(m.Find(m.GetAt(i)));
    m.RemoveAll();
}

// ---- Option groups ----

bool CPaintManagerUI::AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
    if (!pStrGroupName)
        return false;
    auto* aOptionGroup = static_cast<CStdPtrArray*>(m_pRes->optionGroups.Find(pStrGroupName));
    if (aOptionGroup) {
        if (aOptionGroup->Find(pControl) >= 0)
            return false;
        aOptionGroup->Add(pControl);
        return true;
    }
    aOptionGroup = new CStdPtrArray(6);
    aOptionGroup->Add(pControl);
    m_pRes->optionGroups.Insert(pStrGroupName, aOptionGroup);
    return true;
}

CStdPtrArray* CPaintManagerUI::GetOptionGroup(LPCTSTR pStrGroupName) {
    if (!pStrGroupName)
        return nullptr;
    return static_cast<CStdPtrArray*>(m_pRes->optionGroups.Find(pStrGroupName));
}

void CPaintManagerUI::RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
    CStdPtrArray* aOptionGroup = GetOptionGroup(pStrGroupName);
    if (!aOptionGroup)
        return;
    int i = aOptionGroup->Find(pControl);
    if (i >= 0)
        aOptionGroup->Remove(i);
    if (aOptionGroup->IsEmpty()) {
        delete aOptionGroup;
        m_pRes->optionGroups.Remove(pStrGroupName);
    }
}

void CPaintManagerUI::RemoveFromAllOptionGroups(CControlUI* pControl) {
    // Names first: removing the last member deletes a group from the map.
    std::vector<CStdString> names;
    const CStdStringPtrMap& m = m_pRes->optionGroups;
    for (int i = 0; i < m.GetSize(); ++i)
        if (static_cast<CStdPtrArray*>(m.Find(m.GetAt(i)))->Find(pControl) >= 0)
            names.emplace_back(m.GetAt(i));
    for (const CStdString& name : names)
        RemoveOptionGroup(name.GetData(), pControl);
}

void CPaintManagerUI::RemoveAllOptionGroups() {
    CStdStringPtrMap& m = m_pRes->optionGroups;
    for (int i = 0; i < m.GetSize(); ++i)
        delete static_cast<CStdPtrArray*>(m.Find(m.GetAt(i)));
    m.RemoveAll();
}

// ---- Default colours ----

DWORD CPaintManagerUI::GetDefaultDisabledColor() const {
    return m_pRes->dwDefaultDisabledColor;
}
void CPaintManagerUI::SetDefaultDisabledColor(DWORD dwColor) {
    m_pRes->dwDefaultDisabledColor = dwColor;
}
DWORD CPaintManagerUI::GetDefaultFontColor() const {
    return m_pRes->dwDefaultFontColor;
}
void CPaintManagerUI::SetDefaultFontColor(DWORD dwColor) {
    m_pRes->dwDefaultFontColor = dwColor;
}
DWORD CPaintManagerUI::GetDefaultLinkFontColor() const {
    return m_pRes->dwDefaultLinkFontColor;
}
void CPaintManagerUI::SetDefaultLinkFontColor(DWORD dwColor) {
    m_pRes->dwDefaultLinkFontColor = dwColor;
}
DWORD CPaintManagerUI::GetDefaultLinkHoverFontColor() const {
    return m_pRes->dwDefaultLinkHoverFontColor;
}
void CPaintManagerUI::SetDefaultLinkHoverFontColor(DWORD dwColor) {
    m_pRes->dwDefaultLinkHoverFontColor = dwColor;
}
DWORD CPaintManagerUI::GetDefaultSelectedBkColor() const {
    return m_pRes->dwDefaultSelectedBkColor;
}
void CPaintManagerUI::SetDefaultSelectedBkColor(DWORD dwColor) {
    m_pRes->dwDefaultSelectedBkColor = dwColor;
}

// ---- Parent resource manager ----

bool CPaintManagerUI::UseParentResource(CPaintManagerUI* pm) {
    if (!pm) {
        m_pRes->pParentResourcePM = nullptr;
        return true;
    }
    for (CPaintManagerUI* p = pm; p; p = p->m_pRes->pParentResourcePM)
        if (p == this)
            return false;
    m_pRes->pParentResourcePM = pm;
    return true;
}

CPaintManagerUI* CPaintManagerUI::GetParentResource() const {
    return m_pRes->pParentResourcePM;
}

// ---- Drawing state ----

HDC CPaintManagerUI::GetPaintDC() const {
    return m_pRes->hDcPaint;
}
void CPaintManagerUI::SetPaintDC(HDC hDC) {
    m_pRes->hDcPaint = hDC;
}
bool CPaintManagerUI::IsBackgroundTransparent() const {
    return m_pRes->bAlphaBackground;
}
void CPaintManagerUI::SetBackgroundTransparent(bool bTrans) {
    m_pRes->bAlphaBackground = bTrans;
}
bool CPaintManagerUI::IsUseGdiplusText() const {
    return m_pRes->bUseGdiplusText;
}
void CPaintManagerUI::SetUseGdiplusText(bool bUse) {
    m_pRes->bUseGdiplusText = bUse;
}

} // namespace Veneer
