// The progress bar, the animated GIF and the read-only text field.
#include "control_test_util.h"
#include "uires_test_util.h"

#include <gtest/gtest.h>

using namespace ctl_test;
using uires_test::GdiOpaque;
using uires_test::Rgb;
using uires_test::Rgba;

namespace {

// A GIF of solid-colour frames. Every pixel is written as a clear code and
// a literal, so the code width never grows: a valid stream without a
// dictionary.
std::vector<uint8_t> MakeGif(int w, int h, const std::vector<int>& frameColours,
                             const std::vector<int>& delays) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    auto le16 = [&out](int v) {
        out.push_back(uint8_t(v & 0xFF));
        out.push_back(uint8_t((v >> 8) & 0xFF));
    };
    le16(w);
    le16(h);
    out.push_back(0xF1); // global table of 4 colours
    out.push_back(0);
    out.push_back(0);
    const uint8_t palette[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (auto& c : palette)
        out.insert(out.end(), c, c + 3);
    for (size_t f = 0; f < frameColours.size(); ++f) {
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x00});
        le16(delays[f]);
        out.insert(out.end(), {0x00, 0x00});
        out.push_back(0x2C);
        le16(0);
        le16(0);
        le16(w);
        le16(h);
        out.push_back(0);
        out.push_back(2); // minimum code size: codes are 3 bits
        std::vector<uint8_t> bits;
        uint32_t acc = 0;
        int nbits = 0;
        auto put = [&](int code) {
            acc |= uint32_t(code) << nbits;
            nbits += 3;
            while (nbits >= 8) {
                bits.push_back(uint8_t(acc & 0xFF));
                acc >>= 8;
                nbits -= 8;
            }
        };
        for (int i = 0; i < w * h; ++i) {
            put(4);
            put(frameColours[f]);
        }
        put(5);
        if (nbits > 0)
            bits.push_back(uint8_t(acc & 0xFF));
        for (size_t i = 0; i < bits.size(); i += 255) {
            size_t n = std::min<size_t>(255, bits.size() - i);
            out.push_back(uint8_t(n));
            out.insert(out.end(), bits.begin() + i, bits.begin() + i + n);
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

class SkinFolder {
public:
    SkinFolder() {
        dir.write("bk.png", uires_test::SolidPng(6, 5, Rgba{128, 128, 128, 255}));
        dir.write("fore.png", uires_test::SolidPng(6, 5, Rgba{0, 0, 255, 255}));
        dir.write("zero.gif", MakeGif(4, 2, {0, 1, 2}, {0, 0, 0}));
        dir.write("five.gif", MakeGif(4, 2, {0, 1, 2}, {5, 5, 5}));
        dir.write("mixed.gif", MakeGif(4, 2, {0, 1, 2}, {0, 5, 10}));
        dir.write("broken.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 2});
        uires_test::ResetSkinConfig();
        CPaintManagerUI::SetResourcePath(uires_test::W(dir.path()).c_str());
    }
    ~SkinFolder() { uires_test::ResetSkinConfig(); }
    uires_test::TempDir dir;
};

const TestAccess::TimerEntry* GifTimer(Window& w, CControlUI* gif) {
    for (const auto& t : Inspect(w.pm).GetTimers())
        if (t.pSender == gif && t.nLocalID == CGifAnimUI::EVENT_TIEM_ID && !t.bKilled)
            return &t;
    return nullptr;
}

std::wstring GifWindow(const wchar_t* file, const wchar_t* extra = L"") {
    return std::wstring(
               L"<VerticalLayout><GifAnim name=\"g\" width=\"8\" height=\"4\" bkimage=\"") +
           file + L"\" " + extra + L" /><Control /></VerticalLayout>";
}

} // namespace

TEST(Progress, FillsInProportionToTheValue) {
    SkinFolder skin;
    Window w;
    w.Build(L"<VerticalLayout><Progress name=\"p\" width=\"500\" height=\"5\" min=\"0\" "
            L"max=\"100\" value=\"37\" foreimage=\"fore.png\" bkimage=\"bk.png\" /><Control />"
            L"</VerticalLayout>",
            520, 20);
    w.Paint();
    EXPECT_TRUE(GdiOpaque(w.Pixel(0, 2), 0xFF0000FF));
    EXPECT_TRUE(GdiOpaque(w.Pixel(184, 2), 0xFF0000FF));
    EXPECT_TRUE(GdiOpaque(w.Pixel(185, 2), 0xFF808080));
    EXPECT_TRUE(GdiOpaque(w.Pixel(499, 4), 0xFF808080));

    CProgressUI* p = w.FindAs<CProgressUI>(L"p");
    p->SetValue(101);
    EXPECT_EQ(p->GetValue(), 37);
    const int before = Inspect(w.pm).GetInvalidateCount();
    p->SetValue(37);
    EXPECT_EQ(Inspect(w.pm).GetInvalidateCount(), before);
    p->SetValue(100);
    p->SetValue(100);
    EXPECT_EQ(Inspect(w.pm).GetInvalidateCount(), before + 1);
    w.Paint();
    EXPECT_TRUE(GdiOpaque(w.Pixel(499, 4), 0xFF0000FF));
}

TEST(Progress, EqualBoundsAndVerticalBars) {
    SkinFolder skin;
    Window w;
    w.Build(L"<HorizontalLayout><Progress name=\"z\" width=\"10\" height=\"10\" min=\"0\" "
            L"max=\"0\" foreimage=\"fore.png\" /><Progress name=\"v\" width=\"10\" height=\"40\" "
            L"hor=\"false\" foreimage=\"fore.png\" bkimage=\"bk.png\" /><Control />"
            L"</HorizontalLayout>",
            40, 40);
    w.Paint();
    CProgressUI* z = w.FindAs<CProgressUI>(L"z");
    EXPECT_EQ(z->GetMaxValue(), 1); // raised at paint time
    CProgressUI* v = w.FindAs<CProgressUI>(L"v");
    EXPECT_TRUE(GdiOpaque(w.Pixel(15, 0), 0xFF808080)); // at its minimum nothing is filled
    EXPECT_TRUE(GdiOpaque(w.Pixel(15, 39), 0xFF808080));
    v->SetValue(100);
    w.Paint();
    EXPECT_TRUE(GdiOpaque(w.Pixel(15, 0), 0xFF0000FF));
    EXPECT_TRUE(GdiOpaque(w.Pixel(15, 39), 0xFF0000FF));
    v->SetValue(50);
    w.Paint();
    EXPECT_TRUE(GdiOpaque(w.Pixel(15, 19), 0xFF808080)); // fills from the bottom
    EXPECT_TRUE(GdiOpaque(w.Pixel(15, 20), 0xFF0000FF));
    EXPECT_EQ(v->GetFixedHeight(), 40);
    CProgressUI fresh;
    EXPECT_EQ(fresh.GetFixedHeight(), 12);
    EXPECT_EQ(fresh.GetTextStyle(), DT_SINGLELINE | DT_CENTER);
}

TEST(Progress, MissingForeImageLeavesTheBarEmptyAndWideRangesDoNotOverflow) {
    SkinFolder skin;
    Window w;
    w.Build(
        L"<VerticalLayout><Progress name=\"p\" width=\"500\" height=\"5\" value=\"50\" "
        L"foreimage=\"gone.png\" bkimage=\"bk.png\" /><Progress name=\"q\" width=\"500\" "
        L"height=\"5\" min=\"0\" max=\"2000000000\" foreimage=\"fore.png\" bkimage=\"bk.png\" />"
        L"<Control /></VerticalLayout>",
        520, 20);
    w.FindAs<CProgressUI>(L"q")->SetValue(1999999999);
    w.Paint();
    EXPECT_TRUE(GdiOpaque(w.Pixel(10, 2), 0xFF808080));
    EXPECT_TRUE(GdiOpaque(w.Pixel(498, 7), 0xFF0000FF));
    EXPECT_TRUE(GdiOpaque(w.Pixel(499, 7), 0xFF808080));
}

TEST(GifAnim, FrameDelaysBecomeTimerIntervals) {
    SkinFolder skin;
    Window zero, five, mixed;
    zero.Build(GifWindow(L"zero.gif"), 20, 20);
    five.Build(GifWindow(L"five.gif"), 20, 20);
    mixed.Build(GifWindow(L"mixed.gif"), 20, 20);
    CGifAnimUI* gz = zero.FindAs<CGifAnimUI>(L"g");
    ASSERT_EQ(gz->GetFrameCount(), 3);
    EXPECT_TRUE(gz->IsPlaying()); // autoplay from the moment it is attached
    ASSERT_NE(GifTimer(zero, gz), nullptr);
    EXPECT_EQ(GifTimer(zero, gz)->uElapse, 100u);
    CGifAnimUI* gf = five.FindAs<CGifAnimUI>(L"g");
    EXPECT_EQ(gf->GetFrameDelay(0), 5);
    EXPECT_EQ(GifTimer(five, gf)->uElapse, 50u);

    CGifAnimUI* gm = mixed.FindAs<CGifAnimUI>(L"g");
    EXPECT_EQ(GifTimer(mixed, gm)->uElapse, 100u);
    Inspect(mixed.pm).FireTimer(GifTimer(mixed, gm)->uWinTimer);
    EXPECT_EQ(gm->GetCurrentFrame(), 1);
    EXPECT_EQ(GifTimer(mixed, gm)->uElapse, 50u);
    Inspect(mixed.pm).FireTimer(GifTimer(mixed, gm)->uWinTimer);
    EXPECT_EQ(GifTimer(mixed, gm)->uElapse, 100u);
    Inspect(mixed.pm).FireTimer(GifTimer(mixed, gm)->uWinTimer);
    EXPECT_EQ(gm->GetCurrentFrame(), 0); // wraps
    // Timer events of other ids are not the animation's.
    Window::Send(gm, UIEVENT_TIMER, {0, 0}, 7);
    EXPECT_EQ(gm->GetCurrentFrame(), 0);
}

TEST(GifAnim, PaintDrawsTheFrameSelectedAtThePreviousPaint) {
    SkinFolder skin;
    Window w;
    w.Build(GifWindow(L"zero.gif"), 20, 20);
    CGifAnimUI* g = w.FindAs<CGifAnimUI>(L"g");
    w.Paint();
    EXPECT_EQ(w.Pixel(3, 2), 0xFFFF0000u); // frame 0, scaled to 8 x 4
    EXPECT_EQ(w.Pixel(7, 3), 0xFFFF0000u);
    Inspect(w.pm).FireTimer(GifTimer(w, g)->uWinTimer);
    w.Paint();
    EXPECT_EQ(w.Pixel(3, 2), 0xFFFF0000u); // still frame 0
    w.Paint();
    EXPECT_EQ(w.Pixel(3, 2), 0xFF00FF00u); // now frame 1
}

TEST(GifAnim, HidingStopsAndShowingRestartsAtTheFirstFrame) {
    SkinFolder skin;
    Window w;
    w.Build(GifWindow(L"zero.gif"), 20, 20);
    CGifAnimUI* g = w.FindAs<CGifAnimUI>(L"g");
    w.Paint();
    Inspect(w.pm).FireTimer(GifTimer(w, g)->uWinTimer);
    w.Paint();
    EXPECT_EQ(g->GetCurrentFrame(), 1);
    g->SetVisible(false);
    EXPECT_FALSE(g->IsPlaying());
    EXPECT_EQ(GifTimer(w, g), nullptr);
    EXPECT_EQ(g->GetCurrentFrame(), 0);
    g->SetVisible(true);
    EXPECT_TRUE(g->IsPlaying());
    ASSERT_NE(GifTimer(w, g), nullptr);
    w.Paint();
    EXPECT_EQ(w.Pixel(3, 2), 0xFFFF0000u);
    g->PauseGif();
    EXPECT_FALSE(g->IsPlaying());
    g->PlayGif();
    EXPECT_TRUE(g->IsPlaying());
}

TEST(GifAnim, HiddenAtStartStillPlaysAndUnreadableGifsStayBlank) {
    SkinFolder skin;
    Window w;
    w.Build(L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><GifAnim name=\"h\" width=\"8\" height=\"4\" "
            L"visible=\"false\" bkimage=\"five.gif\" auto=\"true\" mouse=\"false\" /><GifAnim "
            L"name=\"b\" width=\"8\" height=\"4\" bkimage=\"broken.gif\" /><GifAnim name=\"m\" "
            L"width=\"8\" height=\"4\" bkimage=\"missing.gif\" autosize=\"true\" /><Control />"
            L"</VerticalLayout>",
            20, 20);
    w.Paint();
    EXPECT_TRUE(w.FindAs<CGifAnimUI>(L"h")->IsPlaying());
    EXPECT_EQ(w.FindAs<CGifAnimUI>(L"b")->GetFrameCount(), 0);
    EXPECT_FALSE(w.FindAs<CGifAnimUI>(L"b")->IsPlaying());
    EXPECT_EQ(w.Pixel(2, 1), 0xFFFFFFFFu);
    w.Paint(); // retried at every paint, still nothing
    EXPECT_EQ(w.FindAs<CGifAnimUI>(L"m")->GetFrameCount(), 0);
    EXPECT_EQ(w.FindAs<CGifAnimUI>(L"m")->GetFixedWidth(), 8);
}

TEST(GifAnim, AutoSizeAndChangingTheImage) {
    SkinFolder skin;
    Window w;
    w.Build(GifWindow(L"zero.gif", L"autosize=\"true\" autoplay=\"false\""), 20, 20);
    CGifAnimUI* g = w.FindAs<CGifAnimUI>(L"g");
    EXPECT_EQ(g->GetFixedWidth(), 4);
    EXPECT_EQ(g->GetFixedHeight(), 2);
    EXPECT_FALSE(g->IsPlaying());
    g->PlayGif();
    EXPECT_TRUE(g->IsPlaying());
    g->SetBkImage(L"five.gif");
    EXPECT_FALSE(g->IsPlaying());
    EXPECT_EQ(g->GetFrameCount(), 0); // released until the next paint
    w.Paint();
    EXPECT_EQ(g->GetFrameDelay(1), 5);
}

TEST(RichEdit, ReadOnlyFieldShowsItsTextInsideBorderAndPadding) {
    Window w;
    w.Build(L"<Window size=\"300,40\"><Font name=\"微软雅黑\" size=\"14\" />"
            L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><RichEdit name=\"e\" height=\"28\" "
            L"readonly=\"true\" multiline=\"false\" textcolor=\"#FF000000\" "
            L"textpadding=\"10,2,10,2\" bordercolor=\"#FF999999\" bordersize=\"1\" font=\"0\" />"
            L"<Control /></VerticalLayout></Window>");
    CRichEditUI* e = w.FindAs<CRichEditUI>(L"e");
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->HasTextService());
    EXPECT_TRUE(e->IsReadOnly());
    EXPECT_EQ(e->GetWinStyle() & ES_MULTILINE, 0u);
    e->SetText(L"/opt/TarvexPDFConver/a/very/long/install/folder/name/that/does/not/fit");
    w.Paint();
    EXPECT_TRUE(GdiOpaque(w.Pixel(0, 0), 0xFF999999)); // one-pixel grey border
    EXPECT_TRUE(GdiOpaque(w.Pixel(299, 27), 0xFF999999));
    EXPECT_EQ(w.Pixel(150, 28), 0xFFFFFFFFu);
    // Nothing in the padding left and right, ink in between, on one line.
    auto hasInkInColumns = [&w](int x0, int x1) {
        for (int x = x0; x < x1; ++x)
            for (int y = 1; y < 27; ++y)
                if ((w.Pixel(x, y) & 0xFF) < 0x80)
                    return true;
        return false;
    };
    EXPECT_FALSE(hasInkInColumns(1, 10));
    EXPECT_FALSE(hasInkInColumns(290, 299));
    EXPECT_TRUE(hasInkInColumns(10, 290));
    // Typing into a read-only field changes nothing.
    std::wstring before = e->GetText().str();
    Window::Send(e, UIEVENT_CHAR, {0, 0}, 0, L'x');
    EXPECT_EQ(e->GetText().str(), before);
    EXPECT_EQ(w.recorder.Count(L"textchanged"), 0);
}

TEST(RichEdit, TextBeforeTheServiceIsHandedOver) {
    CRichEditUI e;
    e.SetText(L"early");
    EXPECT_FALSE(e.HasTextService());
    EXPECT_EQ(e.GetText().str(), L"early");
    Window w;
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CRichEditUI* field = new CRichEditUI;
    field->SetText(L"handed over");
    root->Add(field);
    w.Attach(root, 100, 30);
    EXPECT_TRUE(field->HasTextService());
    EXPECT_EQ(field->GetText().str(), L"handed over");
    // An editable field takes characters and reports the change.
    Window::Send(field, UIEVENT_CHAR, {0, 0}, 0, L'!');
    EXPECT_EQ(field->GetText().str(), L"handed over!");
    EXPECT_EQ(w.recorder.Count(L"textchanged"), 1);
}

TEST(Progress, BoundsAtTheIntegerLimits) {
    // A maximum at or below the minimum becomes minimum + 1 at paint time;
    // at the largest minimum it can only become equal, and the bar is empty.
    SkinFolder skin;
    Window w;
    w.Build(L"<VerticalLayout><Progress name=\"top\" width=\"10\" height=\"5\" "
            L"min=\"2147483647\" max=\"0\" foreimage=\"fore.png\" /><Progress name=\"low\" "
            L"width=\"10\" height=\"5\" min=\"-2147483648\" max=\"2147483647\" value=\"0\" "
            L"foreimage=\"fore.png\" /><Control /></VerticalLayout>",
            20, 20);
    EXPECT_TRUE(w.Paint());
    CProgressUI* top = w.FindAs<CProgressUI>(L"top");
    EXPECT_EQ(top->GetMaxValue(), 2147483647);
    EXPECT_EQ(top->GetMinValue(), 2147483647);
    EXPECT_EQ(top->GetValue(), 2147483647); // clamped into the range: nothing filled
    EXPECT_NE(Rgb(w.Pixel(2, 2)), 0x0000FFu);
    EXPECT_TRUE(GdiOpaque(w.Pixel(4, 7), 0xFF0000FF)); // half of the full range
    EXPECT_NE(Rgb(w.Pixel(5, 7)), 0x0000FFu);
}

TEST(GifAnim, FramesAndDecodedBytesHaveACeiling) {
    SkinFolder skin;
    // One frame more than the ceiling, and the ceiling itself.
    skin.dir.write("many.gif", MakeGif(1, 1, std::vector<int>(CGifAnimUI::kMaxGifFrames + 1, 0),
                                       std::vector<int>(CGifAnimUI::kMaxGifFrames + 1, 0)));
    skin.dir.write("most.gif", MakeGif(1, 1, std::vector<int>(CGifAnimUI::kMaxGifFrames, 1),
                                       std::vector<int>(CGifAnimUI::kMaxGifFrames, 0)));
    // One small frame on a logical screen one column too wide: every frame
    // decodes at the screen's size. The same at the ceiling decodes.
    auto onScreen = [](int w, int h) {
        std::vector<uint8_t> gif = MakeGif(1, 1, {2}, {0});
        gif[6] = uint8_t(w & 0xFF);
        gif[7] = uint8_t(w >> 8);
        gif[8] = uint8_t(h & 0xFF);
        gif[9] = uint8_t(h >> 8);
        return gif;
    };
    ASSERT_EQ(4ull * 2048 * 2048, CGifAnimUI::kMaxGifDecodedBytes);
    skin.dir.write("wide.gif", onScreen(2049, 2048));
    skin.dir.write("full.gif", onScreen(2048, 2048));

    Window w;
    w.Build(L"<HorizontalLayout bkcolor=\"#FFFFFFFF\"><GifAnim name=\"many\" width=\"8\" "
            L"height=\"4\" bkimage=\"many.gif\" /><GifAnim name=\"wide\" width=\"8\" height=\"4\" "
            L"bkimage=\"wide.gif\" /><GifAnim name=\"most\" width=\"8\" height=\"4\" "
            L"bkimage=\"most.gif\" /><GifAnim name=\"full\" width=\"8\" height=\"4\" "
            L"bkimage=\"full.gif\" /><Control /></HorizontalLayout>",
            40, 4);
    w.Paint();
    for (const wchar_t* name : {L"many", L"wide"}) {
        SCOPED_TRACE(name);
        CGifAnimUI* g = w.FindAs<CGifAnimUI>(name);
        EXPECT_TRUE(g->IsGifRefused());
        EXPECT_EQ(g->GetFrameCount(), 0);
        EXPECT_FALSE(g->IsPlaying());
        EXPECT_EQ(GifTimer(w, g), nullptr);
        const RECT& rc = g->GetPos();
        EXPECT_EQ(w.Pixel(rc.left + 2, 2), 0xFFFFFFFFu); // shows nothing
    }
    EXPECT_EQ(w.FindAs<CGifAnimUI>(L"most")->GetFrameCount(), CGifAnimUI::kMaxGifFrames);
    EXPECT_FALSE(w.FindAs<CGifAnimUI>(L"most")->IsGifRefused());
    EXPECT_EQ(w.Pixel(16 + 2, 2), 0xFF00FF00u);
    EXPECT_EQ(w.FindAs<CGifAnimUI>(L"full")->GetFrameCount(), 1);

    // Another image is tried afresh.
    CGifAnimUI* many = w.FindAs<CGifAnimUI>(L"many");
    many->SetBkImage(L"zero.gif");
    EXPECT_FALSE(many->IsGifRefused());
    w.Paint();
    EXPECT_EQ(many->GetFrameCount(), 3);
}
