// Text: DrawText with its format flags, GetTextExtentPoint32, TextOut, and
// the smooth (fractional, anti-aliased) string path.
//
// DrawText lays text out itself, line by line: prefix characters, line
// splitting, word breaking, ellipses and alignment follow GDI's rules; pango
// only measures and draws single lines. Lines are tmHeight pixels apart and
// each line's baseline is tmAscent below its top.
#include "plat/gfx/text_internal.h"

#include <algorithm>
#include <cmath>

namespace plat {
namespace gfx {
namespace {

const std::wstring kEllipsis = L"...";
constexpr int kDrawLimit = 1 << 22;

struct Line {
    std::wstring text;
    int underline = -1; // index in text of the prefix-underlined character
};

// Pixel positions of every character boundary of a single line of text
// (size() + 1 entries, the last being the line's width).
std::vector<int> boundaries(const Font& font, const std::wstring& text) {
    std::vector<int> xs(text.size() + 1, 0);
    if (text.empty())
        return xs;
    std::string utf8;
    std::vector<int> byteAt(text.size() + 1, 0);
    for (size_t i = 0; i < text.size(); ++i) {
        byteAt[i] = int(utf8.size());
        utf8 += toUtf8(&text[i], 1);
    }
    byteAt[text.size()] = int(utf8.size());
    PangoLayout* layout = makeLayout(gdiContext(), font, utf8);
    for (size_t i = 0; i < text.size(); ++i) {
        PangoRectangle pos;
        pango_layout_index_to_pos(layout, byteAt[i], &pos);
        xs[i] = PANGO_PIXELS(std::min(pos.x, pos.x + pos.width));
    }
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    xs[text.size()] = w;
    g_object_unref(layout);
    return xs;
}

int textWidth(const Font& font, const std::wstring& text) {
    if (text.empty())
        return 0;
    PangoLayout* layout = makeLayout(gdiContext(), font, toUtf8(text.c_str(), int(text.size())));
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    g_object_unref(layout);
    return w;
}

bool isWide(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Characters a line must not start with (closing punctuation).
bool noBreakBefore(wchar_t c) {
    static const std::wstring set = L"，。、；：？！）》」』】〕〉”’…·,.;:?!)]}%";
    return set.find(c) != std::wstring::npos;
}

// Whether a line may break before text[i] (0 < i < size).
bool canBreakBefore(const std::wstring& text, size_t i, bool wideBreaks) {
    wchar_t prev = text[i - 1], cur = text[i];
    if (noBreakBefore(cur))
        return false;
    if (prev == L' ' || prev == L'\t')
        return cur != L' ';
    return wideBreaks && (isWide(prev) || isWide(cur));
}

// Breaks one paragraph into lines no wider than `width` (a word longer than
// the line is broken inside it). Each result is (start, end) in `text`.
std::vector<std::pair<size_t, size_t>> wrap(const Font& font, const std::wstring& text, int width,
                                            bool wideBreaks) {
    std::vector<std::pair<size_t, size_t>> out;
    const std::vector<int> xs = boundaries(font, text);
    const size_t n = text.size();
    size_t start = 0;
    if (n == 0)
        out.emplace_back(0, 0);
    while (start < n) {
        size_t lastBreak = 0, i = start + 1;
        for (; i <= n; ++i) {
            bool fits = xs[i] - xs[start] <= width || text[i - 1] == L' ';
            if (!fits)
                break;
            if (i == n || canBreakBefore(text, i, wideBreaks))
                lastBreak = i;
        }
        size_t end;
        if (i > n)
            end = n;
        else if (lastBreak > start)
            end = lastBreak;
        else
            end = std::max(i - 1, start + 1);
        size_t trimmed = end;
        while (trimmed > start && text[trimmed - 1] == L' ')
            --trimmed;
        out.emplace_back(start, trimmed);
        start = end;
        while (start < n && text[start] == L' ')
            ++start;
    }
    return out;
}

// The longest prefix of `text` that fits with the ellipsis after it.
Line endEllipsis(const Font& font, const Line& line, int width, bool atWord) {
    const std::vector<int> xs = boundaries(font, line.text);
    const int ell = textWidth(font, kEllipsis);
    size_t k = line.text.size();
    while (k > 0 && xs[k] + ell > width)
        --k;
    if (atWord) {
        size_t w = k;
        while (w > 0 && line.text[w - 1] != L' ' && !(w < line.text.size() && line.text[w] == L' '))
            --w;
        if (w > 0)
            k = w;
    }
    while (k > 0 && line.text[k - 1] == L' ')
        --k;
    Line out;
    out.text = line.text.substr(0, k) + kEllipsis;
    out.underline = line.underline < int(k) ? line.underline : -1;
    return out;
}

// Replaces the middle of a path with the ellipsis, keeping the part after
// the last separator.
Line pathEllipsis(const Font& font, const Line& line, int width) {
    size_t sep = line.text.find_last_of(L"\\/");
    if (sep == std::wstring::npos)
        return endEllipsis(font, line, width, false);
    const std::wstring tail = line.text.substr(sep);
    const int tailW = textWidth(font, kEllipsis + tail);
    const std::vector<int> xs = boundaries(font, line.text);
    if (tailW > width) {
        Line t;
        t.text = kEllipsis + tail;
        return endEllipsis(font, t, width, false);
    }
    size_t k = sep;
    while (k > 0 && xs[k] + tailW > width)
        --k;
    Line out;
    out.text = line.text.substr(0, k) + kEllipsis + tail;
    out.underline = line.underline < int(k) ? line.underline : -1;
    return out;
}

// Removes prefix characters: "&&" becomes "&", "&x" becomes x (its index
// goes to *underline), a final "&" is dropped.
std::wstring stripPrefix(const std::wstring& in, int* underline) {
    std::wstring out;
    *underline = -1;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != L'&') {
            out += in[i];
            continue;
        }
        if (i + 1 >= in.size())
            break;
        ++i;
        if (in[i] != L'&')
            *underline = int(out.size());
        out += in[i];
    }
    return out;
}

std::wstring expandTabs(const std::wstring& in) {
    std::wstring out;
    for (wchar_t c : in) {
        if (c == L'\t') {
            do
                out += L' ';
            while (out.size() % 8 != 0);
        } else {
            out += c;
        }
    }
    return out;
}

struct Laid {
    std::vector<Line> lines;
    std::vector<int> widths;
    int maxWidth = 0;
};

// Breaks and cuts the text into the lines DrawText shows.
Laid layoutText(const Font& font, int lineHeight, const std::wstring& raw, const RECT& rc,
                UINT fmt) {
    int underline = -1;
    std::wstring text = (fmt & DT_NOPREFIX) ? raw : stripPrefix(raw, &underline);
    if (fmt & DT_HIDEPREFIX)
        underline = -1;
    if (fmt & DT_EXPANDTABS)
        text = expandTabs(text);
    const int width = rc.right - rc.left;
    const bool single = (fmt & DT_SINGLELINE) != 0;
    const bool wordBreak = !single && (fmt & DT_WORDBREAK);
    const bool wideBreaks = !(fmt & DT_NOFULLWIDTHCHARBREAK);

    // Paragraphs: split at CR LF, LF and CR unless single-line, where they
    // are dropped.
    std::vector<std::pair<size_t, std::wstring>> paras; // start offset, text
    {
        std::wstring cur;
        size_t curStart = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            wchar_t c = text[i];
            if (c == L'\r' || c == L'\n') {
                if (single)
                    continue;
                paras.emplace_back(curStart, cur);
                cur.clear();
                if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                    ++i;
                curStart = i + 1;
                continue;
            }
            if (cur.empty() && !single)
                curStart = i;
            cur += c;
        }
        paras.emplace_back(curStart, cur);
    }
    if (single && underline >= 0) {
        // Dropped line breaks shift the underlined character.
        int shift = 0;
        for (int i = 0; i < underline && size_t(i) < text.size(); ++i)
            if (text[size_t(i)] == L'\r' || text[size_t(i)] == L'\n')
                ++shift;
        underline -= shift;
    }

    Laid out;
    std::vector<std::wstring> rests; // per line: the paragraph from the line's start
    for (auto& entry : paras) {
        // Plain references: lambdas cannot capture structured bindings
        // before C++20 (clang rejects it).
        const size_t start = entry.first;
        const std::wstring& para = entry.second;
        auto addLine = [&](size_t a, size_t b) {
            Line l;
            l.text = para.substr(a, b - a);
            int u = single ? underline : underline - int(start);
            if (u >= int(a) && u < int(b))
                l.underline = u - int(a);
            out.lines.push_back(l);
            rests.push_back(para.substr(a)); // this line and the rest of its paragraph
        };
        if (wordBreak) {
            for (auto [a, b] : wrap(font, para, width, wideBreaks))
                addLine(a, b);
        } else {
            addLine(0, para.size());
        }
    }

    // Ellipses.
    const bool endEll = (fmt & DT_END_ELLIPSIS) != 0;
    const bool wordEll = (fmt & DT_WORD_ELLIPSIS) != 0;
    const bool pathEll = (fmt & DT_PATH_ELLIPSIS) != 0;
    // A rectangle being measured without word breaks grows to the text, so
    // nothing is cut then.
    const bool measuring = (fmt & DT_CALCRECT) && !wordBreak;
    if ((endEll || wordEll || pathEll) && !measuring) {
        if (wordBreak) {
            // Text running past the bottom ends in an ellipsis on the last
            // line that fits completely.
            const int height = rc.bottom - rc.top;
            size_t fit = size_t(std::max(1, lineHeight > 0 ? height / lineHeight : 1));
            if (out.lines.size() > fit) {
                Line joined;
                joined.text = rests[fit - 1];
                joined.underline = out.lines[fit - 1].underline;
                Line cut = joined;
                cut.text += kEllipsis;
                if (textWidth(font, cut.text) > width)
                    cut = endEllipsis(font, joined, width, wordEll && !endEll);
                out.lines.resize(fit);
                out.lines[fit - 1] = cut;
            }
        }
        for (Line& l : out.lines) {
            if (textWidth(font, l.text) <= width)
                continue;
            if (pathEll)
                l = pathEllipsis(font, l, width);
            else if (!wordBreak)
                l = endEllipsis(font, l, width, wordEll && !endEll);
        }
    }
    for (const Line& l : out.lines) {
        int w = textWidth(font, l.text);
        out.widths.push_back(w);
        out.maxWidth = std::max(out.maxWidth, w);
    }
    return out;
}

void setSource(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                         ((c >> 16) & 0xFF) / 255.0);
}

// Draws one line with its top-left corner at (x, y).
void drawLine(cairo_t* cr, const Font& font, const Line& line, int x, int y, int width,
              int lineHeight, const DcState& st) {
    // Far outside any target (and beyond what cairo's fixed point holds).
    if (std::abs(y) > kDrawLimit || std::abs(x) > kDrawLimit)
        return;
    if (st.bkMode == OPAQUE && width > 0) {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        setSource(cr, st.bkColor);
        cairo_rectangle(cr, x, y, width, lineHeight);
        cairo_fill(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    }
    if (line.text.empty())
        return;
    std::string utf8 = toUtf8(line.text.c_str(), int(line.text.size()));
    PangoLayout* layout = makeLayout(gdiContext(), font, utf8);
    if (line.underline >= 0 && size_t(line.underline) < line.text.size()) {
        std::string before = toUtf8(line.text.c_str(), line.underline);
        std::string ch = toUtf8(line.text.c_str() + line.underline, 1);
        PangoAttrList* attrs = pango_layout_get_attributes(layout);
        attrs = attrs ? pango_attr_list_copy(attrs) : pango_attr_list_new();
        PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        a->start_index = guint(before.size());
        a->end_index = guint(before.size() + ch.size());
        pango_attr_list_insert(attrs, a);
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    }
    setSource(cr, st.textColor);
    cairo_move_to(cr, x, y + font.tm.tmAscent);
    pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(layout, 0));
    g_object_unref(layout);
}

cairo_t* textCairo(Dc& dc, const RECT* clipTo, cairo_region_t** clipOut) {
    Bitmap* bm = dc.state.bitmap.get();
    cairo_region_t* clip = drawRegion(dc, clipTo);
    cairo_t* cr = cairo_create(bm->surface);
    clipCairo(cr, clip);
    *clipOut = clip;
    return cr;
}

} // namespace
} // namespace gfx

using namespace gfx;

BOOL GetTextExtentPoint32(HDC hdc, LPCWSTR text, int count, SIZE* size) {
    auto dc = findDc(hdc);
    if (!dc || !size || count < 0 || (count > 0 && !text))
        return FALSE;
    auto font = dcFont(*dc);
    std::lock_guard<std::mutex> lock(textMutex());
    ensureMetrics(font.get());
    size->cx = count ? textWidth(*font, std::wstring(text, size_t(count))) : 0;
    size->cy = font->tm.tmHeight;
    return TRUE;
}

int DrawText(HDC hdc, LPCWSTR text, int count, LPRECT rc, UINT format) {
    auto dc = findDc(hdc);
    if (!dc || !text || !rc || !dc->state.bitmap)
        return 0;
    const std::wstring raw(text, count < 0 ? std::wcslen(text) : size_t(count));
    const RECT in = clampRect(*rc);
    auto font = dcFont(*dc);
    std::lock_guard<std::mutex> lock(textMutex());
    ensureMetrics(font.get());
    const int lh =
        font->tm.tmHeight + ((format & DT_EXTERNALLEADING) ? font->tm.tmExternalLeading : 0);
    if (raw.empty()) {
        if (format & DT_CALCRECT) {
            rc->left = in.left;
            rc->top = in.top;
            rc->right = in.left;
            rc->bottom = in.top + ((format & DT_SINGLELINE) ? lh : 0);
        }
        return lh;
    }
    Laid laid = layoutText(*font, lh, raw, in, format);
    const int total = int(laid.lines.size()) * lh;
    if (format & DT_CALCRECT) {
        // The widest line, wrapped or not: with word breaks the text is
        // laid out at the rectangle's width, which then shrinks to the text.
        *rc = in;
        rc->right = in.left + laid.maxWidth;
        rc->bottom = in.top + total;
        return total;
    }
    int y = in.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = in.top + (in.bottom - in.top - lh) / 2;
        else if (format & DT_BOTTOM)
            y = in.bottom - lh;
    }
    Bitmap* bm = dc->state.bitmap.get();
    PixelAccess access(bm, true);
    cairo_region_t* clip = nullptr;
    cairo_t* cr = textCairo(*dc, (format & DT_NOCLIP) ? nullptr : &in, &clip);
    const int width = in.right - in.left;
    for (size_t i = 0; i < laid.lines.size(); ++i) {
        const int ly = y + int(i) * lh;
        if ((format & DT_EDITCONTROL) && ly + lh > in.bottom && i > 0)
            break;
        if (ly >= bm->height)
            break; // this line and the ones below are outside the target
        int x = in.left;
        if (format & DT_CENTER)
            x = in.left + (width - laid.widths[i]) / 2;
        else if (format & DT_RIGHT)
            x = in.right - laid.widths[i];
        drawLine(cr, *font, laid.lines[i], x, ly, laid.widths[i], lh, dc->state);
    }
    cairo_destroy(cr);
    cairo_region_destroy(clip);
    if (format & (DT_VCENTER | DT_BOTTOM))
        return y - in.top + total;
    return total;
}

BOOL TextOut(HDC hdc, int x, int y, LPCWSTR text, int count) {
    auto dc = findDc(hdc);
    if (!dc || count < 0 || (count > 0 && !text) || !dc->state.bitmap)
        return FALSE;
    if (count == 0)
        return TRUE;
    auto font = dcFont(*dc);
    std::lock_guard<std::mutex> lock(textMutex());
    ensureMetrics(font.get());
    Line line;
    line.text.assign(text, size_t(count));
    PixelAccess access(dc->state.bitmap.get(), true);
    cairo_region_t* clip = nullptr;
    cairo_t* cr = textCairo(*dc, nullptr, &clip);
    drawLine(cr, *font, line, clampCoord(x), clampCoord(y), textWidth(*font, line.text),
             font->tm.tmHeight, dc->state);
    cairo_destroy(cr);
    cairo_region_destroy(clip);
    return TRUE;
}

namespace {

// A smooth-path layout for the given rectangle and flags.
PangoLayout* smoothLayout(const Font& font, LPCWSTR text, int count, const RECT& rc, UINT fmt) {
    PangoLayout* layout = makeLayout(smoothContext(), font, toUtf8(text, count));
    pango_layout_set_single_paragraph_mode(layout, (fmt & DT_SINGLELINE) ? TRUE : FALSE);
    // Pango sizes are ints in 1/1024 pixel: keep them below 2^20 pixels.
    const int w = std::min<int>(rc.right - rc.left, 1 << 20);
    const int h = std::min<int>(rc.bottom - rc.top, 1 << 20);
    const bool ell = (fmt & DT_END_ELLIPSIS) != 0;
    if (w > 0 && (!(fmt & DT_SINGLELINE) || ell)) {
        pango_layout_set_width(layout, w * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_alignment(layout, (fmt & DT_CENTER)  ? PANGO_ALIGN_CENTER
                                           : (fmt & DT_RIGHT) ? PANGO_ALIGN_RIGHT
                                                              : PANGO_ALIGN_LEFT);
    }
    if (ell && w > 0) {
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        if (!(fmt & DT_SINGLELINE) && h > 0)
            pango_layout_set_height(layout, h * PANGO_SCALE);
    }
    return layout;
}

} // namespace

BOOL DrawTextSmooth(HDC hdc, LPCWSTR text, int count, HFONT hfont, const RECT* layoutRc, DWORD argb,
                    UINT format) {
    auto dc = findDc(hdc);
    if (!dc || !text || !layoutRc || !dc->state.bitmap)
        return FALSE;
    std::shared_ptr<Font> font = hfont ? find<Font>(hfont, OBJ_FONT) : dcFont(*dc);
    if (!font)
        return FALSE;
    if (count < 0)
        count = int(std::wcslen(text));
    const RECT lr = clampRect(*layoutRc);
    layoutRc = &lr;
    if (std::abs(lr.left) > kDrawLimit || std::abs(lr.top) > kDrawLimit)
        return TRUE; // far outside any target
    std::lock_guard<std::mutex> lock(textMutex());
    PangoLayout* layout = smoothLayout(*font, text, count, *layoutRc, format);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    const double lw = logical.width / double(PANGO_SCALE);
    const double lh = logical.height / double(PANGO_SCALE);
    const double rw = layoutRc->right - layoutRc->left, rh = layoutRc->bottom - layoutRc->top;
    double x = layoutRc->left, y = layoutRc->top;
    if (pango_layout_get_width(layout) < 0) {
        if (format & DT_CENTER)
            x += (rw - lw) / 2;
        else if (format & DT_RIGHT)
            x += rw - lw;
    }
    if (format & DT_VCENTER)
        y += (rh - lh) / 2;
    else if (format & DT_BOTTOM)
        y += rh - lh;
    PixelAccess access(dc->state.bitmap.get(), true);
    cairo_region_t* clip = nullptr;
    cairo_t* cr = textCairo(*dc, (format & DT_NOCLIP) ? nullptr : layoutRc, &clip);
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, (argb >> 24) / 255.0);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    cairo_destroy(cr);
    cairo_region_destroy(clip);
    g_object_unref(layout);
    return TRUE;
}

BOOL MeasureTextSmooth(HDC hdc, LPCWSTR text, int count, HFONT hfont, const RECT* layoutRc,
                       UINT format, double* width, double* height) {
    auto dc = findDc(hdc);
    if (!dc || !text || !layoutRc || !width || !height)
        return FALSE;
    std::shared_ptr<Font> font = hfont ? find<Font>(hfont, OBJ_FONT) : dcFont(*dc);
    if (!font)
        return FALSE;
    if (count < 0)
        count = int(std::wcslen(text));
    const RECT lr = clampRect(*layoutRc);
    std::lock_guard<std::mutex> lock(textMutex());
    PangoLayout* layout = smoothLayout(*font, text, count, lr, format);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    // With alignment the logical box may start right of x = 0; the extent
    // is the text's own width.
    *width = logical.width / double(PANGO_SCALE);
    *height = logical.height / double(PANGO_SCALE);
    g_object_unref(layout);
    return TRUE;
}

} // namespace plat
