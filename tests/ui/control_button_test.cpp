// Labels, texts, buttons and options: sizes, state images, text placement
// and the notifications they send, on real painted bitmaps.
#include "control_test_util.h"
#include "uires_test_util.h"

#include <gtest/gtest.h>

using namespace ctl_test;
using uires_test::GdiOpaque;
using uires_test::Rgba;

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kGrey = 0xFF808080;
constexpr uint32_t kYellow = 0xFFFFFF00, kWhite = 0xFFFFFFFF, kCyan = 0xFF00FFFF;

Rgba ToRgba(uint32_t argb) {
    return Rgba{uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)};
}

// A skin folder with a 40 x 10 strip of four 10 x 10 states (red, green,
// blue, grey), a yellow and a cyan 10 x 10 square, and a fore image that is
// transparent except for a white 2 x 2 centre.
class SkinFolder {
public:
    SkinFolder() {
        dir.write("strip.png", uires_test::MakePng(40, 10, [](int x, int) {
                      const uint32_t c[] = {kRed, kGreen, kBlue, kGrey};
                      return ToRgba(c[x / 10]);
                  }));
        dir.write("yellow.png", uires_test::SolidPng(10, 10, ToRgba(kYellow)));
        dir.write("cyan.png", uires_test::SolidPng(10, 10, ToRgba(kCyan)));
        dir.write("fore.png", uires_test::MakePng(10, 10, [](int x, int y) {
                      bool centre = x >= 4 && x < 6 && y >= 4 && y < 6;
                      return centre ? ToRgba(kWhite) : Rgba{0, 0, 0, 0};
                  }));
        uires_test::ResetSkinConfig();
        CPaintManagerUI::SetResourcePath(uires_test::W(dir.path()).c_str());
    }
    ~SkinFolder() { uires_test::ResetSkinConfig(); }
    uires_test::TempDir dir;
};

const wchar_t* kStates =
    L"normalimage=\"file='strip.png' source='0,0,10,10'\" hotimage=\"file='strip.png' "
    L"source='10,0,20,10'\" pushedimage=\"file='strip.png' source='20,0,30,10'\" "
    L"disabledimage=\"file='strip.png' source='30,0,40,10'\"";

std::wstring ButtonRow(const std::wstring& element, const std::wstring& attributes) {
    return L"<HorizontalLayout><" + element + L" name=\"b\" width=\"10\" height=\"10\" " +
           attributes + L" /><Control /></HorizontalLayout>";
}

// First and last rows of the rectangle holding a pixel darker than mid-grey.
std::pair<int, int> InkRows(Window& w, const RECT& rc) {
    int first = -1, last = -1;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) {
            uint32_t p = w.Pixel(x, y);
            if (((p >> 16) & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80 && (p & 0xFF) < 0x80) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
        }
    return {first, last};
}

} // namespace

TEST(Button, StateImagesFollowTheEvents) {
    SkinFolder skin;
    Window w;
    w.Build(ButtonRow(L"Button", kStates), 40, 10);
    w.Paint();
    CButtonUI* b = w.FindAs<CButtonUI>(L"b");
    EXPECT_EQ(w.Pixel(5, 5), kRed);
    Window::Send(b, UIEVENT_MOUSEENTER, {5, 5});
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kGreen);
    Window::Send(b, UIEVENT_BUTTONDOWN, {5, 5});
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kBlue);
    Window::Send(b, UIEVENT_BUTTONUP, {5, 5});
    Window::Send(b, UIEVENT_MOUSELEAVE, {50, 5});
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kRed);
    b->SetEnabled(false);
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kGrey);
    EXPECT_EQ(b->GetButtonState() & UISTATE_HOT, 0u);
}

TEST(Button, DisabledWithoutDisabledImageShowsTheNormalOne) {
    SkinFolder skin;
    Window w;
    w.Build(ButtonRow(L"Button", L"enabled=\"false\" normalimage=\"yellow.png\""), 40, 10);
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kYellow);
}

TEST(Button, ForeImageOverTheStateAndHotColourWithoutHotImage) {
    SkinFolder skin;
    Window w;
    w.Build(ButtonRow(L"Button", L"normalimage=\"yellow.png\" foreimage=\"fore.png\" "
                                 L"hotbkcolor=\"#FF00FF00\""),
            40, 10);
    w.Paint();
    EXPECT_EQ(w.Pixel(1, 1), kYellow);
    EXPECT_EQ(w.Pixel(5, 5), kWhite);
    Window::Send(w.Find(L"b"), UIEVENT_MOUSEENTER, {5, 5});
    w.Paint();
    EXPECT_EQ(w.Pixel(1, 1), kGreen); // hot colour, and no fore image over it
    EXPECT_EQ(w.Pixel(5, 5), kGreen);
}

TEST(Button, MissingImageLeavesTheButtonWithoutIt) {
    SkinFolder skin;
    Window w;
    w.Build(ButtonRow(L"Button", L"bkcolor=\"#FF0000FF\" normalimage=\"nothere.png\" "
                                 L"hotimage=\"file='nothere.png' source='1,x'\""),
            40, 10);
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kBlue);
    Window::Send(w.Find(L"b"), UIEVENT_MOUSEENTER, {5, 5});
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kBlue);
}

TEST(Button, ClickOnlyWhenReleasedInside) {
    Window w;
    w.Build(ButtonRow(L"Button", L""), 40, 10);
    w.Paint();
    CButtonUI* b = w.FindAs<CButtonUI>(L"b");

    Window::Click(b, {5, 5}, {30, 5}); // released outside
    EXPECT_EQ(w.recorder.Count(L"click"), 0);
    EXPECT_EQ(b->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED), 0u);

    Window::Send(b, UIEVENT_BUTTONDOWN, {5, 5});
    Window::Send(b, UIEVENT_MOUSEMOVE, {30, 5});
    EXPECT_EQ(b->GetButtonState() & UISTATE_PUSHED, 0u);
    EXPECT_NE(b->GetButtonState() & UISTATE_CAPTURED, 0u);
    Window::Send(b, UIEVENT_MOUSEMOVE, {6, 6});
    EXPECT_NE(b->GetButtonState() & UISTATE_PUSHED, 0u);
    Window::Send(b, UIEVENT_BUTTONUP, {6, 6});
    EXPECT_EQ(w.recorder.Count(L"click"), 1);
    EXPECT_EQ(b->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED), 0u);

    // A release without a press does nothing.
    Window::Send(b, UIEVENT_BUTTONUP, {5, 5});
    EXPECT_EQ(w.recorder.Count(L"click"), 1);
    // Space and Return activate; other keys do not.
    Window::Send(b, UIEVENT_KEYDOWN, {0, 0}, 0, L' ');
    Window::Send(b, UIEVENT_KEYDOWN, {0, 0}, 0, 0x0D);
    Window::Send(b, UIEVENT_KEYDOWN, {0, 0}, 0, L'A');
    EXPECT_EQ(w.recorder.Count(L"click"), 3);
    // Hidden or disabled buttons do not click.
    b->SetEnabled(false);
    EXPECT_FALSE(b->Activate());
    Window::Click(b);
    EXPECT_EQ(w.recorder.Count(L"click"), 3);
}

TEST(Button, MouseDisabledButtonPassesMouseEventsOn) {
    Window w;
    w.Build(ButtonRow(L"Button", L"mouse=\"false\""), 40, 10);
    w.Paint();
    Window::Click(w.Find(L"b"));
    EXPECT_EQ(w.recorder.Count(L"click"), 0);
    EXPECT_EQ(w.FindAs<CButtonUI>(L"b")->GetButtonState() &
                  (UISTATE_HOT | UISTATE_PUSHED | UISTATE_CAPTURED),
              0u);
}

TEST(Button, ClickHandlerMayRemoveTheButton) {
    struct Remover : INotifyUI {
        CContainerUI* row = nullptr;
        void Notify(TNotifyUI& msg) override {
            if (msg.sType == L"click")
                row->Remove(msg.pSender);
        }
    } remover;
    Window w;
    w.Build(L"<HorizontalLayout name=\"row\"><Button name=\"b\" width=\"10\" /></HorizontalLayout>",
            40, 10);
    w.Paint();
    remover.row = w.FindAs<CContainerUI>(L"row");
    w.pm.AddNotifier(&remover);
    Window::Click(w.Find(L"b"));
    EXPECT_EQ(remover.row->GetCount(), 0);
    EXPECT_EQ(w.pm.GetDelayedCleanupCount(), 1); // destroyed after the handler
    w.pm.ProcessDelayedCleanup();
    EXPECT_EQ(w.Find(L"b"), nullptr);
    w.pm.RemoveNotifier(&remover);
}

TEST(Option, WithoutGroupTogglesAndSendsClickThenSelectChanged) {
    Window w;
    w.Build(ButtonRow(L"Option", L""), 40, 10);
    w.Paint();
    COptionUI* o = w.FindAs<COptionUI>(L"b");
    w.recorder.entries.clear();
    Window::Click(o);
    EXPECT_TRUE(o->IsSelected());
    Window::Click(o);
    EXPECT_FALSE(o->IsSelected());
    std::vector<std::wstring> expected = {L"click", L"selectchanged", L"click", L"selectchanged"};
    EXPECT_EQ(w.recorder.Types(), expected);
}

TEST(Option, GroupStaysSelectedAndTurnsOthersOff) {
    Window w;
    w.Build(L"<HorizontalLayout><Option name=\"a\" group=\"g\" selected=\"true\" width=\"10\" />"
            L"<Option name=\"b\" group=\"g\" width=\"10\" /><Option name=\"c\" group=\"h\" "
            L"selected=\"true\" width=\"10\" /></HorizontalLayout>",
            40, 10);
    w.Paint();
    COptionUI* a = w.FindAs<COptionUI>(L"a");
    COptionUI* b = w.FindAs<COptionUI>(L"b");
    COptionUI* c = w.FindAs<COptionUI>(L"c");
    ASSERT_NE(w.pm.GetOptionGroup(L"g"), nullptr);
    EXPECT_EQ(w.pm.GetOptionGroup(L"g")->GetSize(), 2);
    w.recorder.entries.clear();
    Window::Click(b);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(c->IsSelected()); // another group
    std::vector<std::wstring> expected = {L"click", L"selectchanged"};
    EXPECT_EQ(w.recorder.Types(), expected);
    EXPECT_EQ(w.recorder.entries[1].sender, b);
    Window::Click(b); // clicked again: stays selected, still both
    EXPECT_TRUE(b->IsSelected());
    EXPECT_EQ(w.recorder.entries.size(), 4u);
    EXPECT_EQ(w.recorder.entries[3].type, L"selectchanged");

    b->SetGroup(nullptr); // leaving the group
    EXPECT_EQ(w.pm.GetOptionGroup(L"g")->GetSize(), 1);
    a->SetGroup(L"other");
    EXPECT_EQ(w.pm.GetOptionGroup(L"g"), nullptr); // emptied: deleted
}

TEST(Option, SelectedImageAlsoWhileHot) {
    SkinFolder skin;
    Window w;
    w.Build(ButtonRow(L"CheckBox",
                      std::wstring(kStates) + L" selectedimage=\"cyan.png\" selected=\"true\""),
            40, 10);
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kCyan);
    Window::Send(w.Find(L"b"), UIEVENT_MOUSEENTER, {5, 5});
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kCyan);
    CCheckBoxUI* box = w.FindAs<CCheckBoxUI>(L"b");
    box->SetCheck(false);
    EXPECT_FALSE(box->GetCheck());
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kGreen); // hot, unselected
    box->SetEnabled(false);
    EXPECT_EQ(box->GetButtonState(), 0u);
}

TEST(Option, SelectedBackgroundColourWithoutSelectedImage) {
    Window w;
    w.Build(ButtonRow(L"Option", L"selectedbkcolor=\"#FFFFFF00\" selected=\"true\""), 40, 10);
    w.Paint();
    EXPECT_EQ(w.Pixel(5, 5), kYellow);
}

TEST(Label, EstimatedHeightsFollowTheFont) {
    Window w;
    w.Build(L"<VerticalLayout><Label name=\"l\" text=\"x\" /><Button name=\"b\" text=\"x\" />"
            L"<Control name=\"rest\" /></VerticalLayout>",
            100, 200);
    w.Paint();
    const int cell = w.pm.GetFontInfo(-1)->tm.tmHeight;
    ASSERT_GT(cell, 0);
    EXPECT_EQ(w.Find(L"l")->GetHeight(), cell + 4);
    EXPECT_EQ(w.Find(L"b")->GetHeight(), cell + 8);
    EXPECT_EQ(w.Find(L"rest")->GetPos().top, 2 * cell + 12);
}

TEST(Label, AlignLeftKeepsLabelsCentredButTopsButtons) {
    Window w;
    w.Build(L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><Label name=\"l\" text=\"Wg\" height=\"60\" "
            L"align=\"left\" textcolor=\"#FF000000\" /><Button name=\"b\" text=\"Wg\" "
            L"height=\"60\" align=\"left\" textcolor=\"#FF000000\" /></VerticalLayout>",
            100, 120);
    w.Paint();
    auto label = InkRows(w, w.Find(L"l")->GetPos());
    auto button = InkRows(w, w.Find(L"b")->GetPos());
    ASSERT_GE(label.first, 0);
    ASSERT_GE(button.first, 60);
    EXPECT_GT(label.first, 15);      // centred in 60 rows
    EXPECT_LT(button.first - 60, 8); // at the top of its rectangle
    EXPECT_EQ(w.FindAs<CLabelUI>(L"b")->GetTextStyle() & DT_SINGLELINE, 0u);
}

TEST(Label, MultilineButtonWraps) {
    Window w;
    w.Build(L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><Button name=\"b\" width=\"60\" height=\"80\" "
            L"multiline=\"true\" align=\"left\" textcolor=\"#FF000000\" text=\"word word word word "
            L"word word\" /></VerticalLayout>",
            100, 100);
    w.Paint();
    const int cell = w.pm.GetFontInfo(-1)->tm.tmHeight;
    auto rows = InkRows(w, w.Find(L"b")->GetPos());
    EXPECT_GT(rows.second - rows.first, cell); // more than one line
    CButtonUI* b = w.FindAs<CButtonUI>(L"b");
    EXPECT_NE(b->GetTextStyle() & DT_WORDBREAK, 0u);
    b->SetAttribute(L"multiline", L"false");
    EXPECT_EQ(b->GetTextStyle() & DT_WORDBREAK, 0u);
    EXPECT_NE(b->GetTextStyle() & DT_SINGLELINE, 0u);
}

TEST(Label, DefaultColoursAndEffects) {
    Window w;
    w.Build(
        L"<VerticalLayout><Label name=\"l\" text=\"a\" /><Label name=\"e\" enabledeffect=\"true\" "
        L"text=\"hidden\" textcolor1=\"#FF010203\" /></VerticalLayout>",
        100, 100);
    w.Paint();
    EXPECT_EQ(w.FindAs<CLabelUI>(L"l")->GetTextColor(), 0xFF000001u); // filled in and kept
    EXPECT_EQ(w.FindAs<CLabelUI>(L"l")->GetDisabledTextColor(), 0xFFA7A6AAu);
    CLabelUI* e = w.FindAs<CLabelUI>(L"e");
    EXPECT_EQ(e->GetText().str(), L"hidden");
    EXPECT_EQ(e->GetTextColor1(), 0xFF010203u);
}

TEST(Label, TextWrapsAndStartsAtTheTop) {
    Window w;
    w.Build(L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><Text name=\"t\" height=\"80\" "
            L"textcolor=\"#FF000000\" text=\"word word word word word word word\" width=\"60\" />"
            L"</VerticalLayout>",
            100, 100);
    w.Paint();
    const int cell = w.pm.GetFontInfo(-1)->tm.tmHeight;
    auto rows = InkRows(w, w.Find(L"t")->GetPos());
    ASSERT_GE(rows.first, 0);
    EXPECT_LT(rows.first, 6);
    EXPECT_GT(rows.second - rows.first, cell);
    EXPECT_TRUE(RectIs(w.FindAs<CLabelUI>(L"t")->GetTextPadding(), 2, 0, 2, 0));
}

TEST(Borders, UniformAndPerSide) {
    Window w;
    w.Build(L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><Control name=\"u\" height=\"20\" "
            L"bordersize=\"1\" bordercolor=\"#FFFF0000\" /><Control height=\"10\" />"
            L"<Control name=\"s\" height=\"20\" bordersize=\"0,0,0,2\" bordercolor=\"#FF0000FF\" />"
            L"</VerticalLayout>",
            50, 60);
    w.Paint();
    EXPECT_TRUE(GdiOpaque(w.Pixel(0, 0), kRed));
    EXPECT_TRUE(GdiOpaque(w.Pixel(49, 10), kRed));
    EXPECT_TRUE(GdiOpaque(w.Pixel(25, 19), kRed));
    EXPECT_EQ(w.Pixel(1, 1), kWhite);
    // Per side: only the bottom edge, on the edge coordinate.
    EXPECT_EQ(w.Pixel(25, 30), kWhite);
    EXPECT_EQ(w.Pixel(0, 40), kWhite);
    EXPECT_TRUE(GdiOpaque(w.Pixel(25, 49), kBlue));
}

TEST(Button, BoundTabLayoutSwitchesOnClick) {
    Window w;
    w.Build(L"<VerticalLayout><Button name=\"b\" height=\"10\" bindtablayoutname=\"tab\" "
            L"bindtabindex=\"1\" /><Button name=\"neg\" height=\"10\" bindtablayoutname=\"tab\" "
            L"bindtabindex=\"-4\" /><TabLayout name=\"tab\"><Control /><Control /></TabLayout>"
            L"</VerticalLayout>",
            40, 60);
    w.Paint();
    Window::Click(w.Find(L"neg"));
    EXPECT_EQ(w.FindAs<CTabLayoutUI>(L"tab")->GetCurSel(), 0);
    EXPECT_EQ(w.FindAs<CButtonUI>(L"neg")->GetBindTabLayoutIndex(), -1);
    Window::Click(w.Find(L"b"));
    EXPECT_EQ(w.FindAs<CTabLayoutUI>(L"tab")->GetCurSel(), 1);
    EXPECT_EQ(w.recorder.Count(L"click"), 2);
    EXPECT_EQ(w.recorder.Count(L"tabselect"), 1);
    EXPECT_EQ(w.recorder.entries.back().type, L"tabselect");
}

TEST(Label, TextColourFormsAreEqual) {
    CLabelUI a, b;
    a.SetAttribute(L"textcolor", L"0xFFc62f2f");
    b.SetAttribute(L"textcolor", L"#FFc62f2f");
    EXPECT_EQ(a.GetTextColor(), b.GetTextColor());
    EXPECT_EQ(a.GetTextColor(), 0xFFC62F2Fu);
    a.SetAttribute(L"disabledtextcolor", L" #FF000000"); // no space skipping
    EXPECT_EQ(a.GetDisabledTextColor(), 0u);
    a.SetAttribute(L"valign", L"center"); // no "vcenter": unchanged
    EXPECT_EQ(a.GetTextStyle(), DT_VCENTER);
    a.SetAttribute(L"valign", L"bottom");
    EXPECT_EQ(a.GetTextStyle(), DT_BOTTOM | DT_SINGLELINE);
    a.SetAttribute(L"align", L"right");
    EXPECT_EQ(a.GetTextStyle() & (DT_RIGHT | DT_SINGLELINE), DT_RIGHT);
    a.SetAttribute(L"endellipsis", L"true");
    EXPECT_NE(a.GetTextStyle() & DT_END_ELLIPSIS, 0u);
}

TEST(Label, PlaceholderOfAnEmptyTextField) {
    Window w;
    w.Build(L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><RichEdit name=\"e\" height=\"30\" "
            L"tipvalue=\"WWWW\" tipvaluecolor=\"#FF0000FF\" multiline=\"false\" />"
            L"</VerticalLayout>",
            100, 40);
    w.Paint();
    bool blue = false;
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 30; ++y)
            blue |= (w.Pixel(x, y) & 0xFF) > 0x80 && ((w.Pixel(x, y) >> 16) & 0xFF) < 0x80;
    EXPECT_TRUE(blue);
    EXPECT_EQ(w.FindAs<CRichEditUI>(L"e")->GetText().str(), L"");
}

namespace {

// Images for the fore-image tests: opaque white, black at half opacity, and
// a mark that is red in its top-left 2 x 2 corner and clear elsewhere.
class ForeSkin : public SkinFolder {
public:
    ForeSkin() {
        dir.write("white.png", uires_test::SolidPng(10, 10, ToRgba(kWhite)));
        dir.write("shade.png", uires_test::SolidPng(10, 10, Rgba{0, 0, 0, 128}));
        dir.write("mark.png", uires_test::MakePng(10, 10, [](int x, int y) {
                      return x < 2 && y < 2 ? ToRgba(kRed) : Rgba{0, 0, 0, 0};
                  }));
    }
};

// A colour under the shade drawn once: each channel at half (0x7F).
uint32_t ShadedOnce(uint32_t argb) {
    auto half = [](uint32_t c) { return c * 127 / 255; };
    return 0xFF000000u | half((argb >> 16) & 0xFF) << 16 | half((argb >> 8) & 0xFF) << 8 |
           half(argb & 0xFF);
}

::testing::AssertionResult Near(uint32_t actual, uint32_t expected) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
        if (a - e > 2 || e - a > 2)
            return ::testing::AssertionFailure()
                   << std::hex << "0x" << actual << " is not near 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}

// Pixels of the rectangle for which pred holds.
template <class Pred> int CountPixels(Window& w, const RECT& rc, Pred pred) {
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            n += pred(w.Pixel(x, y)) ? 1 : 0;
    return n;
}

} // namespace

TEST(Option, ForeImageIsDrawnOnceInEveryState) {
    // A half-transparent fore image over each state image, as a button draws
    // it: an option that fell back to the button's state image drew it a
    // second time.
    ForeSkin skin;
    const std::wstring states = L"normalimage=\"white.png\" hotimage=\"cyan.png\" "
                                L"pushedimage=\"yellow.png\" foreimage=\"shade.png\"";
    Window button;
    button.Build(ButtonRow(L"Button", states), 40, 10);
    button.Paint();
    EXPECT_TRUE(Near(button.Pixel(5, 5), ShadedOnce(kWhite)));

    for (const wchar_t* selected : {L"false", L"true"}) {
        SCOPED_TRACE(selected);
        Window w;
        w.Build(ButtonRow(L"Option", states + L" selected=\"" + selected + L"\""), 40, 10);
        w.Paint();
        EXPECT_EQ(w.Pixel(5, 5), button.Pixel(5, 5));
        EXPECT_TRUE(Near(w.Pixel(5, 5), ShadedOnce(kWhite)));
        Window::Send(w.Find(L"b"), UIEVENT_MOUSEENTER, {5, 5});
        w.Paint();
        EXPECT_TRUE(Near(w.Pixel(5, 5), ShadedOnce(kCyan)));
        Window::Send(w.Find(L"b"), UIEVENT_BUTTONDOWN, {5, 5});
        w.Paint();
        EXPECT_TRUE(Near(w.Pixel(5, 5), ShadedOnce(kYellow)));
    }
}

TEST(Option, SelectedForeImageTakesThePlaceOfTheForeImage) {
    ForeSkin skin;
    Window w;
    w.Build(ButtonRow(L"Option", L"normalimage=\"white.png\" foreimage=\"mark.png\" "
                                 L"selectedforeimage=\"shade.png\" selectedhotimage=\"cyan.png\" "
                                 L"selectedpushedimage=\"yellow.png\""),
            40, 10);
    COptionUI* o = w.FindAs<COptionUI>(L"b");
    w.Paint();
    EXPECT_EQ(w.Pixel(1, 1), kRed); // unselected: the fore image
    EXPECT_EQ(w.Pixel(5, 5), kWhite);

    // Selected without a selected image: the normal image, and only the
    // selected-fore image over it (the mark no longer shows through).
    o->Selected(true);
    w.Paint();
    EXPECT_TRUE(Near(w.Pixel(1, 1), ShadedOnce(kWhite)));
    EXPECT_TRUE(Near(w.Pixel(5, 5), ShadedOnce(kWhite)));

    Window::Send(o, UIEVENT_MOUSEENTER, {5, 5}); // selected-hot
    w.Paint();
    EXPECT_TRUE(Near(w.Pixel(1, 1), ShadedOnce(kCyan)));
    EXPECT_TRUE(Near(w.Pixel(5, 5), ShadedOnce(kCyan)));

    Window::Send(o, UIEVENT_BUTTONDOWN, {5, 5}); // selected-pushed
    w.Paint();
    EXPECT_TRUE(Near(w.Pixel(1, 1), ShadedOnce(kYellow)));
    EXPECT_TRUE(Near(w.Pixel(5, 5), ShadedOnce(kYellow)));
}

TEST(Option, DisabledSelectedOptionKeepsTheDisabledTextColour) {
    Window w;
    w.Build(L"<HorizontalLayout bkcolor=\"#FFFFFFFF\"><Option name=\"o\" width=\"80\" "
            L"height=\"30\" text=\"WWWW\" selected=\"true\" enabled=\"false\" "
            L"textcolor=\"#FFFF0000\" disabledtextcolor=\"#FF0000FF\" "
            L"selectedtextcolor=\"#FF00FF00\" /><Control /></HorizontalLayout>",
            100, 30);
    w.Paint();
    const RECT rc = w.Find(L"o")->GetPos();
    auto blue = [](uint32_t p) { return (p & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) < 0x60; };
    auto green = [](uint32_t p) { return ((p >> 8) & 0xFF) > 0xC0 && (p & 0xFF) < 0x60; };
    EXPECT_GT(CountPixels(w, rc, blue), 5);
    EXPECT_EQ(CountPixels(w, rc, green), 0);

    // Enabled again, the selected colour stands in for the text colour.
    w.Find(L"o")->SetEnabled(true);
    w.Paint();
    EXPECT_GT(CountPixels(w, rc, green), 5);
    EXPECT_EQ(CountPixels(w, rc, blue), 0);
}

TEST(Label, TextWithEffectsEnabledDrawsNothing) {
    Window w;
    w.Build(L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><Text name=\"t\" height=\"30\" "
            L"enabledeffect=\"true\" textcolor=\"#FF000000\" text=\"WWWW\" /><Text name=\"plain\" "
            L"height=\"30\" textcolor=\"#FF000000\" text=\"WWWW\" /></VerticalLayout>",
            100, 60);
    w.Paint();
    EXPECT_EQ(w.FindAs<CTextUI>(L"t")->GetText().str(), L"WWWW");
    EXPECT_EQ(InkRows(w, w.Find(L"t")->GetPos()).first, -1);
    EXPECT_GE(InkRows(w, w.Find(L"plain")->GetPos()).first, 30);
}

TEST(Label, FormattedTextUsesTheControlsFont) {
    Window w;
    w.Build(L"<Window><Font name=\"DejaVu Sans\" size=\"28\" /><VerticalLayout "
            L"bkcolor=\"#FFFFFFFF\"><Label name=\"plain\" height=\"50\" font=\"0\" "
            L"textcolor=\"#FF000000\" text=\"Hg\" /><Label name=\"html\" height=\"50\" font=\"0\" "
            L"showhtml=\"true\" textcolor=\"#FF000000\" text=\"Hg\" /><Text name=\"text\" "
            L"height=\"50\" font=\"0\" showhtml=\"true\" textcolor=\"#FF000000\" text=\"Hg\" />"
            L"</VerticalLayout></Window>",
            100, 150);
    w.Paint();
    auto height = [&](const wchar_t* name) {
        auto rows = InkRows(w, w.Find(name)->GetPos());
        return rows.first < 0 ? 0 : rows.second - rows.first + 1;
    };
    const int plain = height(L"plain");
    EXPECT_GT(plain, 20);
    EXPECT_EQ(height(L"html"), plain);
    EXPECT_EQ(height(L"text"), plain);
}

TEST(RichEdit, DrawsInsideItsRoundedBorder) {
    Window w;
    w.Build(L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><RichEdit name=\"e\" height=\"40\" "
            L"bkcolor=\"#FFFF0000\" borderround=\"20,20\" bordersize=\"1\" "
            L"bordercolor=\"#FF0000FF\" text=\"x\" /><Control /></VerticalLayout>",
            100, 50);
    w.Paint();
    EXPECT_EQ(w.Pixel(0, 0), kWhite); // outside the rounded corner
    EXPECT_EQ(w.Pixel(99, 39), kWhite);
    EXPECT_EQ(w.Pixel(50, 20), kRed); // inside
}
