// Attribute values, the control base's attribute table, event numbering and
// the control base's update, focus and search rules.
#include "control_test_util.h"
#include "ui/UIAttrParse.h"

#include <gtest/gtest.h>

using namespace ctl_test;

TEST(AttrParse, IntegersReadAsFarAsTheyGo) {
    EXPECT_EQ(ParseAttrInt(L"42"), 42);
    EXPECT_EQ(ParseAttrInt(L"  -17px"), -17);
    EXPECT_EQ(ParseAttrInt(L"+8"), 8);
    EXPECT_EQ(ParseAttrInt(L"12abc"), 12);
    EXPECT_EQ(ParseAttrInt(L"abc"), 0);
    EXPECT_EQ(ParseAttrInt(L""), 0);
    EXPECT_EQ(ParseAttrInt(nullptr), 0);
    EXPECT_EQ(ParseAttrInt(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseAttrInt(L"-99999999999999999999"), -2147483647 - 1);
}

TEST(AttrParse, NumberListsTakeAnySeparatorAndPadWithZero) {
    for (const wchar_t* text : {L"1,2,3,4", L"1 2 3 4", L"1;2;3;4"}) {
        RECT rc = ParseAttrRect(text);
        EXPECT_TRUE(RectIs(rc, 1, 2, 3, 4)) << RectText(rc);
    }
    EXPECT_TRUE(RectIs(ParseAttrRect(L"58,10"), 58, 10, 0, 0));
    EXPECT_TRUE(RectIs(ParseAttrRect(L"7"), 7, 0, 0, 0));
    EXPECT_TRUE(RectIs(ParseAttrRect(L""), 0, 0, 0, 0));
    // The next number starts one character after the stop, whatever it is:
    // "1,,3" reads 1, then "" at ",3" (0, stopping at once), then "3"...
    EXPECT_TRUE(RectIs(ParseAttrRect(L"-10,-20,-50,-60"), -10, -20, -50, -60));
    // A list ending in a separator does not read past the text.
    EXPECT_TRUE(RectIs(ParseAttrRect(L"5,"), 5, 0, 0, 0));
}

TEST(AttrParse, ColoursWithHashOrHexPrefix) {
    EXPECT_EQ(ParseAttrColor(L"#FF999999"), 0xFF999999u);
    EXPECT_EQ(ParseAttrColor(L"0xFFc62f2f"), ParseAttrColor(L"#FFc62f2f"));
    EXPECT_EQ(ParseAttrColor(L"0xFFc62f2f"), 0xFFC62F2Fu);
    EXPECT_EQ(ParseAttrColor(L"#333333"), 0x00333333u);     // six digits: alpha 0
    EXPECT_EQ(ParseAttrColor(L"#1FFFFFFFFF"), 0xFFFFFFFFu); // saturates
    EXPECT_EQ(ParseAttrColor(L"zzz"), 0u);
    // Leading space: skipped only where the attribute asks for it.
    EXPECT_EQ(ParseAttrColor(L" #FFFFFFFF", true), 0xFFFFFFFFu);
    EXPECT_EQ(ParseAttrColor(L" #FF000000", false), 0u);
}

TEST(AttrParse, BooleansAreTrueOnlyForTrue) {
    EXPECT_TRUE(ParseAttrBool(L"true"));
    EXPECT_FALSE(ParseAttrBool(L"TRUE"));
    EXPECT_FALSE(ParseAttrBool(L"1"));
    EXPECT_FALSE(ParseAttrBool(L"true "));
    EXPECT_FALSE(ParseAttrBool(nullptr));
}

TEST(ControlAttributes, PosThenWidthAndHeight) {
    CControlUI c;
    c.SetAttribute(L"pos", L"26,277,60,25");
    c.SetAttribute(L"width", L"60");
    c.SetAttribute(L"height", L"25");
    EXPECT_EQ(c.GetFixedXY().cx, 26);
    EXPECT_EQ(c.GetFixedXY().cy, 277);
    EXPECT_EQ(c.GetFixedWidth(), 60);
    EXPECT_EQ(c.GetFixedHeight(), 25);

    CControlUI alone;
    alone.SetAttribute(L"pos", L"26,277,60,25");
    EXPECT_EQ(alone.GetFixedWidth(), 34);
    EXPECT_EQ(alone.GetFixedHeight(), 0); // -252 is ignored
}

TEST(ControlAttributes, NegativePosCountsFromTheFarEdges) {
    CControlUI c;
    c.SetAttribute(L"pos", L"-10,-20,-50,-60");
    EXPECT_EQ(c.GetFixedXY().cx, -50);
    EXPECT_EQ(c.GetFixedXY().cy, -60);
}

TEST(ControlAttributes, PaddingBordersAndColours) {
    CControlUI c;
    c.SetAttribute(L"padding", L"58,10");
    EXPECT_TRUE(RectIs(c.GetPadding(), 58, 10, 0, 0));

    c.SetAttribute(L"bkcolor", L" #FFFFFFFF");
    EXPECT_EQ(c.GetBkColor(), 0xFFFFFFFFu);
    c.SetAttribute(L"bordercolor", L" #FF000000");
    EXPECT_EQ(c.GetBorderColor(), 0u);
    c.SetAttribute(L"bkcolor2", L"0xFF102030");
    EXPECT_EQ(c.GetBkColor2(), 0xFF102030u);

    c.SetAttribute(L"bordersize", L"1");
    EXPECT_EQ(c.GetBorderSize(), 1);
    c.SetAttribute(L"bordersize", L"0,0,0,2");
    EXPECT_EQ(c.GetBorderSize(), 1); // unchanged
    EXPECT_EQ(c.GetBottomBorderSize(), 2);
    EXPECT_EQ(c.GetLeftBorderSize(), 0);
    c.SetAttribute(L"bordersize", L"3");
    EXPECT_EQ(c.GetBorderSize(), 3);
    EXPECT_EQ(c.GetBottomBorderSize(), 0); // a plain size clears the sides
}

TEST(ControlAttributes, FlagsTextsAndUnknownNames) {
    CControlUI c;
    c.SetAttribute(L"visible", L"TRUE");
    EXPECT_FALSE(c.IsVisible());
    c.SetAttribute(L"visible", L"true");
    EXPECT_TRUE(c.IsVisible());
    c.SetAttribute(L"visible", L"1");
    EXPECT_FALSE(c.IsVisible());

    c.SetAttribute(L"tooltip", L"one<n>two");
    EXPECT_EQ(c.GetToolTip(), L"one\r\ntwo");
    c.SetAttribute(L"shortcut", L"Qx");
    EXPECT_EQ(c.GetShortcut(), L'Q');
    c.SetAttribute(L"float", L"true");
    EXPECT_TRUE(c.IsFloat());

    // Names no class knows change nothing.
    c.SetAttribute(L"cursor", L"hand");
    c.SetAttribute(L"comment", L"x");
    c.SetAttribute(L"Name", L"upper");
    EXPECT_EQ(c.GetName(), L"");
    c.SetAttribute(nullptr, L"x");
    c.SetAttribute(L"name", nullptr);
    EXPECT_EQ(c.GetName(), L"");
}

TEST(ControlAttributes, MinAndMaxIgnoreNegativeValues) {
    CControlUI c;
    c.SetAttribute(L"minwidth", L"-5");
    c.SetAttribute(L"maxheight", L"-1");
    EXPECT_EQ(c.GetMinWidth(), 0);
    EXPECT_EQ(c.GetMaxHeight(), 9999);
    c.SetAttribute(L"width", L"-3");
    EXPECT_EQ(c.GetFixedWidth(), 0);
}

TEST(ControlAttributes, AttributeListGrammar) {
    CControlUI c;
    c.ApplyAttributeList(L"name=\"a\" width=\"12\" height=\"7\"");
    EXPECT_EQ(c.GetName(), L"a");
    EXPECT_EQ(c.GetFixedWidth(), 12);
    EXPECT_EQ(c.GetFixedHeight(), 7);

    CControlUI twoSpaces;
    twoSpaces.ApplyAttributeList(L"width=\"12\"  height=\"7\"");
    EXPECT_EQ(twoSpaces.GetFixedWidth(), 12);
    EXPECT_EQ(twoSpaces.GetFixedHeight(), 0); // the second space ends the list

    CControlUI unquoted;
    unquoted.ApplyAttributeList(L"width=12 height=\"7\"");
    EXPECT_EQ(unquoted.GetFixedWidth(), 0);
    EXPECT_EQ(unquoted.GetFixedHeight(), 0);

    CControlUI unterminated;
    unterminated.ApplyAttributeList(L"width=\"12");
    EXPECT_EQ(unterminated.GetFixedWidth(), 0);
    unterminated.ApplyAttributeList(nullptr);
    unterminated.ApplyAttributeList(L"");
    unterminated.ApplyAttributeList(L"=");
}

TEST(ControlBase, ClassAndInterfaceNames) {
    struct Case {
        CControlUI* control;
        const wchar_t* cls;
        const wchar_t* iface;
    } cases[] = {
        {new CControlUI, L"ControlUI", L"Control"},
        {new CContainerUI, L"ContainerUI", L"Container"},
        {new CVerticalLayoutUI, L"VerticalLayoutUI", L"VerticalLayout"},
        {new CHorizontalLayoutUI, L"HorizontalLayoutUI", L"HorizontalLayout"},
        {new CTabLayoutUI, L"TabLayoutUI", L"TabLayout"},
        {new CLabelUI, L"LabelUI", L"Label"},
        {new CTextUI, L"TextUI", L"Text"},
        {new CButtonUI, L"ButtonUI", L"Button"},
        {new COptionUI, L"OptionUI", L"Option"},
        {new CCheckBoxUI, L"CheckBoxUI", L"Option"},
        {new CProgressUI, L"ProgressUI", L"Progress"},
        {new CGifAnimUI, L"GifAnimUI", L"GifAnim"},
        {new CRichEditUI, L"RichEditUI", L"RichEdit"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.control->GetClass(), c.cls);
        EXPECT_NE(c.control->GetInterface(c.iface), nullptr) << c.cls;
        EXPECT_NE(c.control->GetInterface(L"Control"), nullptr) << c.cls;
        EXPECT_EQ(c.control->GetInterface(L"control"), nullptr) << c.cls;
        delete c.control;
    }
    CVerticalLayoutUI layout;
    EXPECT_EQ(layout.GetInterface(L"IContainer"), static_cast<IContainerUI*>(&layout));
    CButtonUI button;
    EXPECT_EQ(button.GetInterface(L"IContainer"), nullptr);
}

TEST(EventRecords, TypeRangesAndMarkers) {
    EXPECT_EQ(UIEVENT_KEYDOWN, 3);
    EXPECT_EQ(UIEVENT_MOUSEMOVE, 9);
    EXPECT_EQ(UIEVENT_SCROLLWHEEL, 18);
    EXPECT_EQ(UIEVENT_TIMER, 24);
    EXPECT_EQ(UIEVENT__LAST, 27);
    for (int t = 1; t <= 27; ++t) {
        EXPECT_EQ(IsMouseEvent(t), t >= 9 && t <= 18) << t;
        EXPECT_EQ(IsKeyboardEvent(t), t >= 3 && t <= 6) << t;
    }
    TEventUI blank;
    EXPECT_EQ(blank.Type, 0);
    EXPECT_EQ(blank.pSender, nullptr);
    EXPECT_EQ(blank.wParam, 0u);
}

TEST(ControlBase, SameTextTwiceRepaintsOnce) {
    Window w;
    CControlUI* root = w.Build(L"<VerticalLayout><Label name=\"l\" /></VerticalLayout>", 100, 40);
    ASSERT_NE(root, nullptr);
    w.Paint();
    CControlUI* label = w.Find(L"l");
    const int before = Inspect(w.pm).GetInvalidateCount();
    label->SetText(L"hello");
    label->SetText(L"hello");
    EXPECT_EQ(Inspect(w.pm).GetInvalidateCount(), before + 1);
}

TEST(ControlBase, HiddenFocusedControlGivesUpTheFocus) {
    Window w;
    w.Build(L"<VerticalLayout><Button name=\"b\" height=\"20\" /><Button name=\"c\" "
            L"height=\"20\" /></VerticalLayout>",
            100, 60);
    w.Paint(); // the first paint gives the first tab stop the focus
    CControlUI* b = w.Find(L"b");
    ASSERT_EQ(w.pm.GetFocus(), b);
    EXPECT_TRUE(b->IsFocused());
    b->SetVisible(false);
    EXPECT_EQ(w.pm.GetFocus(), nullptr);
    EXPECT_FALSE(b->IsFocused());
    EXPECT_EQ(w.recorder.Count(L"killfocus"), 1);
}

TEST(ControlBase, FindControlFlags) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"a\" height=\"10\" /><Control name=\"b\" "
            L"height=\"10\" enabled=\"false\" /><Control name=\"c\" height=\"10\" "
            L"mouse=\"false\" /></VerticalLayout>",
            50, 50);
    w.Paint();
    EXPECT_EQ(w.pm.FindControl(POINT{5, 5}), w.Find(L"a"));
    // A disabled control is still found by point (the search asks visible
    // and hit test only); a mouse-disabled one is not: its parent is.
    EXPECT_EQ(w.pm.FindControl(POINT{5, 15}), w.Find(L"b"));
    EXPECT_EQ(w.pm.FindControl(POINT{5, 25}), w.pm.GetRoot());
    EXPECT_EQ(w.pm.FindControl(POINT{60, 5}), nullptr);
    EXPECT_EQ(w.pm.FindSubControlByClass(nullptr, L"ControlUI", 2), w.Find(L"c"));
    EXPECT_EQ(w.pm.FindSubControlByName(nullptr, L"b"), w.Find(L"b"));
}

TEST(ControlBase, EqualNamesIndexTheLastOne) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"x\" height=\"1\" /><Control name=\"x\" "
            L"height=\"2\" /></VerticalLayout>",
            20, 20);
    CControlUI* found = w.Find(L"x");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetFixedHeight(), 2);
    EXPECT_EQ(w.Find(L"X"), nullptr);
}

TEST(ControlBase, DefaultReactionsToTimerAndMenu) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"a\" menu=\"true\" /><Control name=\"b\" "
            L"/></VerticalLayout>",
            20, 20);
    Window::Send(w.Find(L"a"), UIEVENT_TIMER, {0, 0}, 7);
    Window::Send(w.Find(L"a"), UIEVENT_CONTEXTMENU);
    Window::Send(w.Find(L"b"), UIEVENT_CONTEXTMENU);
    ASSERT_EQ(w.recorder.entries.size(), 2u);
    EXPECT_EQ(w.recorder.entries[0].type, L"timer");
    EXPECT_EQ(w.recorder.entries[0].wParam, 7u);
    EXPECT_EQ(w.recorder.entries[1].type, L"menu");
    EXPECT_EQ(w.recorder.entries[1].sender, w.Find(L"a"));
    // Names compare exactly.
    EXPECT_NE(w.recorder.entries[0].type, L"Timer");
}
