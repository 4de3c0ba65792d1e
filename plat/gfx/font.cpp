// Fonts: LOGFONT to a pango font description through fontconfig, text
// metrics, and the layout contexts text drawing uses.
#include "plat/gfx/text_internal.h"

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <map>

namespace plat {
namespace gfx {

Font::~Font() {
    if (desc)
        pango_font_description_free(desc);
}

std::mutex& textMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

namespace {

PangoContext* makeContext(bool hinted) {
    // The one font map of the process, shared by both contexts. Pango's
    // default map is per thread, so a font or layout from it could not be
    // used on another thread.
    static PangoFontMap* map = pango_cairo_font_map_new(); // process lifetime
    PangoContext* ctx = pango_font_map_create_context(map);
    cairo_font_options_t* opt = cairo_font_options_create();
    cairo_font_options_set_antialias(opt, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(opt,
                                        hinted ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(opt,
                                      hinted ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(ctx, opt);
    cairo_font_options_destroy(opt);
    pango_cairo_context_set_resolution(ctx, 96.0);
    pango_context_set_language(ctx, pango_language_from_string("zh-cn"));
    pango_context_set_round_glyph_positions(ctx, hinted ? TRUE : FALSE);
    return ctx;
}

// The installed family fontconfig picks for a face name, preferring fonts
// that cover Chinese, so that Windows faces such as "微软雅黑" or "宋体"
// land on an installed CJK face. An empty name means sans-serif.
std::string resolveFamily(const std::string& face) {
    static std::map<std::string, std::string>* cache = new std::map<std::string, std::string>;
    auto it = cache->find(face);
    if (it != cache->end())
        return it->second;
    std::string family = "sans-serif";
    if (FcInit()) {
        FcPattern* pat = FcPatternCreate();
        FcPatternAddString(
            pat, FC_FAMILY,
            reinterpret_cast<const FcChar8*>(face.empty() ? "sans-serif" : face.c_str()));
        FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
        FcConfigSubstitute(nullptr, pat, FcMatchPattern);
        FcDefaultSubstitute(pat);
        FcResult res;
        FcPattern* match = FcFontMatch(nullptr, pat, &res);
        FcChar8* name = nullptr;
        if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
            family = reinterpret_cast<const char*>(name);
        if (match)
            FcPatternDestroy(match);
        FcPatternDestroy(pat);
    }
    cache->emplace(face, family);
    return family;
}

PangoFontDescription* describe(const std::string& family, int weight, bool italic, double px) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, family.c_str());
    pango_font_description_set_weight(d, PangoWeight(weight));
    pango_font_description_set_style(d, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, px * PANGO_SCALE);
    return d;
}

// Cell height (ascent + descent, whole pixels) of a description.
void cellMetrics(PangoFontDescription* d, int* ascent, int* descent) {
    PangoFontMetrics* m =
        pango_context_get_metrics(gdiContext(), d, pango_language_from_string("zh-cn"));
    *ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(m));
    *descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(m));
    pango_font_metrics_unref(m);
}

std::string narrow(const WCHAR* w, size_t max) {
    std::string out;
    for (size_t i = 0; i < max && w[i]; ++i) {
        uint32_t c = uint32_t(w[i]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

PangoContext* gdiContext() {
    static PangoContext* ctx = makeContext(true);
    return ctx;
}

PangoContext* smoothContext() {
    static PangoContext* ctx = makeContext(false);
    return ctx;
}

std::string toUtf8(LPCWSTR text, int count) {
    if (!text)
        return std::string();
    size_t n = count < 0 ? std::wcslen(text) : size_t(count);
    // narrow() stops at a zero; a counted text may contain none before n.
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        WCHAR one[2] = {text[i] ? text[i] : WCHAR(0xFFFD), 0};
        out += narrow(one, 1);
    }
    return out;
}

PangoLayout* makeLayout(PangoContext* ctx, const Font& font, const std::string& utf8) {
    PangoLayout* layout = pango_layout_new(ctx);
    pango_layout_set_font_description(layout, font.desc);
    if (font.lf.lfUnderline || font.lf.lfStrikeOut) {
        PangoAttrList* attrs = pango_attr_list_new();
        if (font.lf.lfUnderline)
            pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (font.lf.lfStrikeOut)
            pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    }
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    pango_layout_set_text(layout, utf8.data(), int(utf8.size()));
    return layout;
}

std::shared_ptr<Font> dcFont(const Dc& dc) {
    if (dc.state.font)
        return dc.state.font;
    return std::static_pointer_cast<Font>(stockObject(DEFAULT_GUI_FONT));
}

void ensureMetrics(Font* font) {
    if (font->metricsReady)
        return;
    TEXTMETRIC& tm = font->tm;
    tm = TEXTMETRIC{};
    int ascent = 0, descent = 0;
    cellMetrics(font->desc, &ascent, &descent);
    const double em = pango_font_description_get_size(font->desc) / double(PANGO_SCALE);
    tm.tmAscent = ascent;
    tm.tmDescent = descent;
    tm.tmHeight = ascent + descent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - LONG(std::lround(em)));
    tm.tmExternalLeading = 0;
    PangoLayout* x = makeLayout(gdiContext(), *font, "x");
    PangoLayout* w = makeLayout(gdiContext(), *font, "W");
    int xw = 0, ww = 0, h = 0;
    pango_layout_get_pixel_size(x, &xw, &h);
    pango_layout_get_pixel_size(w, &ww, &h);
    g_object_unref(x);
    g_object_unref(w);
    tm.tmAveCharWidth = xw;
    tm.tmMaxCharWidth = std::max<LONG>(ww, LONG(std::lround(em)));
    tm.tmWeight = font->lf.lfWeight ? font->lf.lfWeight : FW_NORMAL;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x3F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = font->lf.lfItalic ? 1 : 0;
    tm.tmUnderlined = font->lf.lfUnderline ? 1 : 0;
    tm.tmStruckOut = font->lf.lfStrikeOut ? 1 : 0;
    tm.tmCharSet = font->lf.lfCharSet;
    font->metricsReady = true;
}

} // namespace gfx

using namespace gfx;

HFONT CreateFontIndirect(const LOGFONT* lf) {
    if (!lf)
        return nullptr;
    auto font = std::make_shared<Font>();
    font->lf = *lf;
    font->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    if (font->lf.lfWeight < 0 || font->lf.lfWeight > 1000)
        return nullptr;
    const int weight = font->lf.lfWeight ? font->lf.lfWeight : FW_NORMAL;
    {
        std::lock_guard<std::mutex> lock(textMutex());
        const std::string face = narrow(font->lf.lfFaceName, LF_FACESIZE);
        const std::string family = resolveFamily(face);
        if (!font->lf.lfFaceName[0]) {
            // An empty face takes the family found, so GetObject tells the
            // caller which face it got.
            size_t i = 0;
            std::wstring wide;
            for (size_t k = 0; k < family.size();) {
                unsigned char c = family[k];
                uint32_t cp;
                int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
                cp = len == 1 ? c : c & (0xFF >> (len + 1));
                for (int j = 1; j < len && k + j < family.size(); ++j)
                    cp = (cp << 6) | (family[k + j] & 0x3F);
                k += size_t(len);
                wide += wchar_t(cp);
            }
            for (; i < wide.size() && i < size_t(LF_FACESIZE - 1); ++i)
                font->lf.lfFaceName[i] = wide[i];
            font->lf.lfFaceName[i] = 0;
        }
        double px = 12;
        if (lf->lfHeight < 0)
            px = -double(lf->lfHeight);
        else if (lf->lfHeight > 0)
            px = lf->lfHeight;
        if (px > 2000)
            return nullptr;
        font->desc = describe(family, weight, lf->lfItalic != 0, px);
        if (lf->lfHeight > 0) {
            // A positive height is the cell height: scale the em size so that
            // ascent + descent comes to it.
            int a = 0, d = 0;
            cellMetrics(font->desc, &a, &d);
            if (a + d > 0) {
                pango_font_description_free(font->desc);
                font->desc = describe(family, weight, lf->lfItalic != 0, px * px / (a + d));
            }
        }
    }
    return static_cast<HFONT>(addObject(font));
}

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm) {
    auto dc = findDc(hdc);
    if (!dc || !tm)
        return FALSE;
    auto font = dcFont(*dc);
    if (!font)
        return FALSE;
    std::lock_guard<std::mutex> lock(textMutex());
    ensureMetrics(font.get());
    *tm = font->tm;
    return TRUE;
}

} // namespace plat
