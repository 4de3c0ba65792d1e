// The handle table and the generic object operations: SelectObject,
// DeleteObject, GetObject, stock objects, brushes and pens.
#include "plat/gfx/gdi_internal.h"

#include <cstring>
#include <unordered_map>

namespace plat {
namespace gfx {

namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    // Handle values start high and grow by 16, so they look like pointers
    // but never collide with small integers, and are never reused.
    uintptr_t next = 0x7A000000;
};

Table& table() {
    static Table* t = new Table; // lives for the whole process
    return *t;
}

} // namespace

void* addObject(std::shared_ptr<Object> obj) {
    if (!obj)
        return nullptr;
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.next += 16;
    obj->handle = reinterpret_cast<void*>(t.next);
    t.objects.emplace(t.next, std::move(obj));
    return reinterpret_cast<void*>(t.next);
}

std::shared_ptr<Object> findObject(const void* h) {
    if (!h)
        return nullptr;
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    return it == t.objects.end() ? nullptr : it->second;
}

std::shared_ptr<Object> removeObject(const void* h) {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it == t.objects.end())
        return nullptr;
    if (it->second->stock)
        return it->second;
    auto obj = std::move(it->second);
    t.objects.erase(it);
    return obj;
}

namespace {

struct Stock {
    std::mutex mutex;
    void* handles[DEFAULT_GUI_FONT + 1] = {};
    void* bitmap = nullptr;
};

Stock& stock() {
    static Stock* s = new Stock;
    return *s;
}

std::shared_ptr<Object> makeStock(int which) {
    auto brush = [](UINT style, COLORREF c) {
        auto b = std::make_shared<Brush>();
        b->style = style;
        b->color = c;
        return std::shared_ptr<Object>(b);
    };
    auto pen = [](int style, COLORREF c) {
        auto p = std::make_shared<Pen>();
        p->style = style;
        p->color = c;
        return std::shared_ptr<Object>(p);
    };
    switch (which) {
    case WHITE_BRUSH:
        return brush(BS_SOLID, 0xFFFFFF);
    case LTGRAY_BRUSH:
        return brush(BS_SOLID, 0xC0C0C0);
    case GRAY_BRUSH:
        return brush(BS_SOLID, 0x808080);
    case DKGRAY_BRUSH:
        return brush(BS_SOLID, 0x404040);
    case BLACK_BRUSH:
        return brush(BS_SOLID, 0);
    case NULL_BRUSH:
        return brush(BS_NULL, 0);
    case WHITE_PEN:
        return pen(PS_SOLID, 0xFFFFFF);
    case BLACK_PEN:
        return pen(PS_SOLID, 0);
    case NULL_PEN:
        return pen(PS_NULL, 0);
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT: {
        LOGFONT lf{};
        lf.lfHeight = -12;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        // An empty face resolves to fontconfig's sans-serif for zh-cn; the
        // font's LOGFONT then carries the family found.
        HFONT h = CreateFontIndirect(&lf);
        auto obj = removeObject(h); // re-registered below as a stock object
        return obj;
    }
    default:
        return nullptr;
    }
}

} // namespace

std::shared_ptr<Object> stockObject(int which) {
    if (which < 0 || which > DEFAULT_GUI_FONT)
        return nullptr;
    Stock& s = stock();
    void* h = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        h = s.handles[which];
    }
    if (!h) {
        auto obj = makeStock(which);
        if (!obj)
            return nullptr;
        obj->stock = true;
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.handles[which])
            s.handles[which] = addObject(obj);
        h = s.handles[which];
    }
    return findObject(h);
}

static void* stockHandle(int which) {
    if (!stockObject(which))
        return nullptr;
    Stock& s = stock();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.handles[which];
}

std::shared_ptr<Bitmap> stockBitmap() {
    Stock& s = stock();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.bitmap) {
        auto bm = makeBitmap(1, 1);
        if (!bm)
            return nullptr;
        bm->stock = true;
        s.bitmap = addObject(bm);
    }
    return find<Bitmap>(s.bitmap, OBJ_BITMAP);
}

// The handle a DC hands back from SelectObject and GetCurrentObject.
static void* handleOf(const Object* obj) {
    return obj ? obj->handle : nullptr;
}

} // namespace gfx

using namespace gfx;

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    auto dc = findDc(hdc);
    auto obj = findObject(h);
    if (!dc || !obj)
        return nullptr;
    DcState& st = dc->state;
    switch (obj->type) {
    case OBJ_BITMAP: {
        if (dc->surfaceDC)
            return nullptr;
        auto bm = std::static_pointer_cast<Bitmap>(obj);
        if (bm->surfaceDC)
            return nullptr;
        // The clip region stays; drawing is always limited to the target.
        auto old = st.bitmap;
        st.bitmap = bm;
        return handleOf(old.get());
    }
    case OBJ_FONT: {
        auto old = st.font;
        st.font = std::static_pointer_cast<Font>(obj);
        return handleOf(old.get());
    }
    case OBJ_PEN: {
        auto old = st.pen;
        st.pen = std::static_pointer_cast<Pen>(obj);
        return handleOf(old.get());
    }
    case OBJ_BRUSH: {
        auto old = st.brush;
        st.brush = std::static_pointer_cast<Brush>(obj);
        return handleOf(old.get());
    }
    case OBJ_REGION: {
        int kind = SelectClipRgn(hdc, static_cast<HRGN>(h));
        if (kind == ERROR)
            return HGDI_ERROR;
        return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(kind));
    }
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ h) {
    auto obj = findObject(h);
    if (!obj || obj->type == OBJ_DC || obj->type == OBJ_MEMDC)
        return FALSE;
    if (obj->stock)
        return TRUE;
    if (obj->type == OBJ_BITMAP && static_cast<Bitmap*>(obj.get())->surfaceDC)
        return FALSE;
    return removeObject(h) ? TRUE : FALSE;
}

int GetObject(HGDIOBJ h, int cb, LPVOID out) {
    auto obj = findObject(h);
    if (!obj)
        return 0;
    auto give = [&](const void* data, int size) {
        if (!out)
            return size;
        if (cb < size)
            return 0;
        std::memcpy(out, data, size_t(size));
        return size;
    };
    switch (obj->type) {
    case OBJ_BITMAP: {
        auto* bm = static_cast<Bitmap*>(obj.get());
        BITMAP b{};
        b.bmWidth = bm->width;
        b.bmHeight = bm->height;
        b.bmWidthBytes = bm->width * 4;
        b.bmPlanes = 1;
        b.bmBitsPixel = 32;
        if (bm->isDib)
            b.bmBits = bm->bottomUp ? static_cast<void*>(bm->userBits.get()) : bm->pixels;
        return give(&b, sizeof b);
    }
    case OBJ_FONT:
        return give(&static_cast<Font*>(obj.get())->lf, sizeof(LOGFONT));
    case OBJ_PEN: {
        auto* p = static_cast<Pen*>(obj.get());
        LOGPEN lp{UINT(p->style), {p->width, 0}, p->color};
        return give(&lp, sizeof lp);
    }
    case OBJ_BRUSH: {
        auto* b = static_cast<Brush*>(obj.get());
        LOGBRUSH lb{b->style, b->color, 0};
        return give(&lb, sizeof lb);
    }
    default:
        return 0;
    }
}

DWORD GetObjectType(HGDIOBJ h) {
    auto obj = findObject(h);
    return obj ? obj->type : 0;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    auto dc = findDc(hdc);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_BITMAP:
        return handleOf(dc->state.bitmap.get());
    case OBJ_FONT:
        return handleOf(dc->state.font.get());
    case OBJ_PEN:
        return handleOf(dc->state.pen.get());
    case OBJ_BRUSH:
        return handleOf(dc->state.brush.get());
    default:
        return nullptr;
    }
}

HGDIOBJ GetStockObject(int which) {
    return stockHandle(which);
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto b = std::make_shared<Brush>();
    b->color = color & 0xFFFFFF;
    return static_cast<HBRUSH>(addObject(b));
}

HPEN CreatePen(int style, int width, COLORREF color) {
    int s = style & PS_STYLE_MASK;
    if (s > PS_INSIDEFRAME || width < 0)
        return nullptr;
    auto p = std::make_shared<Pen>();
    p->style = s;
    p->width = width < 1 ? 1 : width > 65536 ? 65536 : width;
    p->color = color & 0xFFFFFF;
    return static_cast<HPEN>(addObject(p));
}

} // namespace plat
