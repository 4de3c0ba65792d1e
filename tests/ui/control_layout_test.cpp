// Layout arithmetic of the vertical, horizontal and tab layouts, floating
// children, hit testing and child management.
#include "control_test_util.h"

#include <gtest/gtest.h>

using namespace ctl_test;

TEST(VerticalLayout, TwoStretchingChildrenShareTheRest) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"a\" height=\"32\" /><Control name=\"b\" />"
            L"<Control name=\"c\" /></VerticalLayout>",
            560, 376);
    w.Paint();
    EXPECT_TRUE(RectIs(w.Find(L"a")->GetPos(), 0, 0, 560, 32));
    EXPECT_TRUE(RectIs(w.Find(L"b")->GetPos(), 0, 32, 560, 204))
        << RectText(w.Find(L"b")->GetPos());
    EXPECT_TRUE(RectIs(w.Find(L"c")->GetPos(), 0, 204, 560, 376))
        << RectText(w.Find(L"c")->GetPos());
}

TEST(VerticalLayout, OddRemainderStaysUnusedAtTheBottom) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"a\" height=\"32\" /><Control name=\"b\" />"
            L"<Control name=\"c\" /></VerticalLayout>",
            100, 345);
    w.Paint();
    EXPECT_EQ(w.Find(L"b")->GetHeight(), 156);
    EXPECT_EQ(w.Find(L"c")->GetHeight(), 156);
    EXPECT_EQ(w.Find(L"c")->GetPos().bottom, 344); // one pixel left below
}

TEST(VerticalLayout, PaddingPlacesTheChild) {
    Window w;
    w.Build(L"<VerticalLayout><Control height=\"20\" /><Control name=\"p\" padding=\"58,10\" "
            L"height=\"13\" /><Control name=\"after\" height=\"5\" /></VerticalLayout>",
            516, 200);
    w.Paint();
    EXPECT_TRUE(RectIs(w.Find(L"p")->GetPos(), 58, 30, 516, 43))
        << RectText(w.Find(L"p")->GetPos());
    EXPECT_EQ(w.Find(L"after")->GetPos().top, 43); // padding bottom 0
}

TEST(VerticalLayout, MinimumHeightPushesLaterChildrenDown) {
    Window w;
    // 120 - 40 fixed = 80 for two stretching children: 40 each, but the first
    // must be at least 50.
    w.Build(L"<VerticalLayout><Control height=\"40\" /><Control name=\"m\" minheight=\"50\" />"
            L"<Control name=\"s\" /><Control name=\"last\" height=\"10\" /></VerticalLayout>",
            100, 130);
    w.Paint();
    EXPECT_EQ(w.Find(L"m")->GetHeight(), 50);
    EXPECT_EQ(w.Find(L"s")->GetPos().top, 90);
    EXPECT_EQ(w.Find(L"s")->GetHeight(), 40);
    EXPECT_EQ(w.Find(L"last")->GetPos().top, 130);
}

TEST(VerticalLayout, HiddenChildTakesNoSpaceNorChildPadding) {
    Window w;
    w.Build(L"<VerticalLayout childpadding=\"7\"><Control name=\"a\" height=\"10\" />"
            L"<Control name=\"h\" height=\"30\" visible=\"false\" /><Control name=\"b\" />"
            L"</VerticalLayout>",
            100, 100);
    w.Paint();
    EXPECT_EQ(w.Find(L"b")->GetPos().top, 17);
    EXPECT_EQ(w.Find(L"b")->GetHeight(), 100 - 10 - 7);
    w.Find(L"h")->SetVisible(true);
    Inspect(w.pm).PaintOffscreen();
    EXPECT_EQ(w.Find(L"b")->GetPos().top, 10 + 7 + 30 + 7);
    EXPECT_EQ(w.Find(L"b")->GetHeight(), 100 - 10 - 30 - 14);
}

TEST(VerticalLayout, OverflowStretchesToZeroAndInsetShrinksTheContent) {
    Window w;
    w.Build(L"<VerticalLayout inset=\"5,6,7,8\"><Control name=\"a\" height=\"300\" />"
            L"<Control name=\"b\" /></VerticalLayout>",
            100, 100);
    w.Paint();
    EXPECT_TRUE(RectIs(w.Find(L"a")->GetPos(), 5, 6, 93, 306));
    EXPECT_EQ(w.Find(L"b")->GetHeight(), 0);
    EXPECT_EQ(w.Find(L"b")->GetPos().top, 306);
}

TEST(HorizontalLayout, StretchingChildAndPaddedCloseButton) {
    Window w;
    w.Build(L"<VerticalLayout><HorizontalLayout name=\"bar\" height=\"32\"><Control name=\"icon\" "
            L"width=\"12\" /><Control name=\"fill\" /><Button name=\"close\" width=\"9\" "
            L"height=\"9\" padding=\"0,10,10,0\" /></HorizontalLayout><Control /></VerticalLayout>",
            560, 408);
    w.Paint();
    EXPECT_EQ(w.Find(L"fill")->GetWidth(), 529);
    EXPECT_TRUE(RectIs(w.Find(L"close")->GetPos(), 541, 10, 550, 19))
        << RectText(w.Find(L"close")->GetPos());
    EXPECT_EQ(w.Find(L"icon")->GetHeight(), 32); // no height: the row's
}

TEST(HorizontalLayout, LabelWithAutoCalcWidthTakesItsTextWidth) {
    Window w;
    w.Build(L"<HorizontalLayout><Label name=\"l\" text=\"所需磁盘空间：\" autocalcwidth=\"true\" />"
            L"<Control name=\"rest\" /></HorizontalLayout>",
            400, 20);
    w.Paint();
    CLabelUI* label = w.FindAs<CLabelUI>(L"l");
    const int width = label->GetWidth();
    EXPECT_GT(width, 40);
    EXPECT_EQ(w.Find(L"rest")->GetPos().left, width);
    label->SetText(L"所需磁盘空间：所需磁盘空间：");
    w.Find(L"l")->NeedParentUpdate();
    Inspect(w.pm).PaintOffscreen();
    EXPECT_GT(label->GetWidth(), width + 40);
    EXPECT_EQ(w.Find(L"rest")->GetPos().left, label->GetWidth());
}

TEST(FloatingChild, PlacedByOffsetIgnoringInsetAndChildPadding) {
    Window w;
    w.Build(L"<VerticalLayout><Control height=\"32\" /><HorizontalLayout inset=\"3,4,5,6\" "
            L"childpadding=\"9\"><Control width=\"50\" /><Progress name=\"p\" float=\"true\" "
            L"pos=\"30,297,500,5\" width=\"500\" height=\"5\" /><Control name=\"q\" float=\"true\" "
            L"pos=\"30,297,500,5\" /></HorizontalLayout></VerticalLayout>",
            560, 408);
    w.Paint();
    EXPECT_TRUE(RectIs(w.Find(L"p")->GetPos(), 30, 329, 530, 334))
        << RectText(w.Find(L"p")->GetPos());
    EXPECT_EQ(w.Find(L"q")->GetWidth(), 470);
    EXPECT_EQ(w.Find(L"q")->GetHeight(), 0);
}

TEST(FloatingChild, NegativeOffsetCountsFromBottomRight) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"f\" float=\"true\" pos=\"-30,-30,-10,-10\" "
            L"/></VerticalLayout>",
            200, 100);
    w.Paint();
    EXPECT_TRUE(RectIs(w.Find(L"f")->GetPos(), 170, 70, 190, 90))
        << RectText(w.Find(L"f")->GetPos());
    // After a layout the fixed values are written back and stay negative.
    EXPECT_EQ(w.Find(L"f")->GetFixedXY().cx, -10);
    w.pm.SetClientSize(300, 150);
    Inspect(w.pm).PaintOffscreen();
    EXPECT_TRUE(RectIs(w.Find(L"f")->GetPos(), 270, 120, 290, 140));
}

TEST(FloatingChild, RelativePositionFollowsTheParentSize) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"r\" float=\"true\" pos=\"10,10,30,30\" "
            L"relativepos=\"50,0,100,0\" /></VerticalLayout>",
            100, 100);
    w.Paint();
    EXPECT_TRUE(RectIs(w.Find(L"r")->GetPos(), 10, 10, 30, 30));
    w.pm.SetClientSize(200, 100); // +100 wide: moves 50, grows 100
    Inspect(w.pm).PaintOffscreen();
    EXPECT_TRUE(RectIs(w.Find(L"r")->GetPos(), 60, 10, 180, 30))
        << RectText(w.Find(L"r")->GetPos());
}

TEST(TabLayout, ShowsOneChildAndNotifiesSelection) {
    Window w;
    w.Build(L"<TabLayout name=\"tab\"><Control name=\"one\" /><Control name=\"two\" /></TabLayout>",
            100, 50);
    w.Paint();
    CTabLayoutUI* tab = w.FindAs<CTabLayoutUI>(L"tab");
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->GetCurSel(), 0);
    EXPECT_TRUE(w.Find(L"one")->IsVisible());
    EXPECT_FALSE(w.Find(L"two")->IsVisible());
    EXPECT_TRUE(RectIs(w.Find(L"one")->GetPos(), 0, 0, 100, 50));

    EXPECT_TRUE(tab->SelectItem(1));
    EXPECT_FALSE(w.Find(L"one")->IsVisible());
    EXPECT_TRUE(w.Find(L"two")->IsVisible());
    ASSERT_EQ(w.recorder.Count(L"tabselect"), 1);
    const auto& e = w.recorder.entries.back();
    EXPECT_EQ(e.type, L"tabselect");
    EXPECT_EQ(e.wParam, 1u);
    EXPECT_EQ(e.lParam, 0);
    Inspect(w.pm).PaintOffscreen();
    EXPECT_TRUE(RectIs(w.Find(L"two")->GetPos(), 0, 0, 100, 50));

    EXPECT_TRUE(tab->SelectItem(1));
    EXPECT_EQ(w.recorder.Count(L"tabselect"), 1);
    EXPECT_FALSE(tab->SelectItem(2));
    EXPECT_FALSE(tab->SelectItem(-1));
}

TEST(TabLayout, SelectedIdAndRemoval) {
    Window w;
    w.Build(L"<TabLayout name=\"tab\" selectedid=\"2\"><Control name=\"a\" /><Control name=\"b\" />"
            L"<Control name=\"c\" /></TabLayout>",
            10, 10);
    CTabLayoutUI* tab = w.FindAs<CTabLayoutUI>(L"tab");
    EXPECT_EQ(tab->GetCurSel(), 2);
    EXPECT_TRUE(w.Find(L"c")->IsVisible());
    tab->Remove(w.Find(L"a")); // before the selection: index drops
    EXPECT_EQ(tab->GetCurSel(), 1);
    tab->Remove(tab->GetItemAt(1)); // the selected one: the first is shown
    EXPECT_EQ(tab->GetCurSel(), 0);
    EXPECT_TRUE(tab->GetItemAt(0)->IsVisible());
    tab->RemoveAll();
    EXPECT_EQ(tab->GetCurSel(), -1);
    w.pm.ProcessDelayedCleanup();
}

TEST(Container, ChildManagement) {
    Window w;
    w.Build(L"<VerticalLayout name=\"v\"><Control name=\"a\" /></VerticalLayout>", 10, 10);
    CContainerUI* v = w.FindAs<CContainerUI>(L"v");
    EXPECT_FALSE(v->Add(nullptr));
    EXPECT_EQ(v->GetItemAt(5), nullptr);
    EXPECT_EQ(v->GetItemAt(-1), nullptr);
    CControlUI stranger;
    EXPECT_EQ(v->GetItemIndex(&stranger), -1);
    EXPECT_FALSE(v->Remove(&stranger));

    CControlUI* b = new CControlUI;
    b->SetName(L"b");
    EXPECT_TRUE(v->AddAt(b, 0));
    EXPECT_EQ(v->GetItemIndex(b), 0);
    EXPECT_EQ(b->GetManager(), &w.pm);
    EXPECT_EQ(w.Find(L"b"), b); // added with a manager: indexed at once
    EXPECT_TRUE(v->SetItemIndex(b, 1));
    EXPECT_EQ(v->GetItemAt(1), b);

    // Removal with a manager is delayed until the clean-up runs.
    EXPECT_TRUE(v->Remove(b));
    EXPECT_EQ(v->GetCount(), 1);
    EXPECT_EQ(w.pm.GetDelayedCleanupCount(), 1);
    EXPECT_EQ(w.Find(L"b"), b);
    w.pm.ProcessDelayedCleanup();
    EXPECT_EQ(w.pm.GetDelayedCleanupCount(), 0);
    EXPECT_EQ(w.Find(L"b"), nullptr);

    // A hidden container hides what it gets.
    v->SetVisible(false);
    CControlUI* c = new CControlUI;
    v->Add(c);
    EXPECT_FALSE(c->IsVisible());
    v->SetVisible(true);
    EXPECT_TRUE(c->IsVisible());
}

TEST(Container, EnablingAndHitTesting) {
    Window w;
    w.Build(L"<VerticalLayout name=\"v\" inset=\"10,10,10,10\"><Button name=\"b\" height=\"30\" />"
            L"<Control name=\"f\" float=\"true\" pos=\"0,0,5,5\" /></VerticalLayout>",
            100, 100);
    w.Paint();
    CContainerUI* v = w.FindAs<CContainerUI>(L"v");
    v->SetEnabled(false);
    EXPECT_FALSE(w.Find(L"b")->IsEnabled());
    v->SetEnabled(true);
    EXPECT_TRUE(w.Find(L"b")->IsEnabled());

    EXPECT_EQ(w.pm.FindControl(POINT{20, 20}), w.Find(L"b"));
    // A floating child is found in the inset area; the container itself
    // answers for the rest of the inset.
    EXPECT_EQ(w.pm.FindControl(POINT{2, 2}), w.Find(L"f"));
    EXPECT_EQ(w.pm.FindControl(POINT{50, 95}), v);
    v->SetMouseChildEnabled(false);
    EXPECT_EQ(w.pm.FindControl(POINT{20, 20}), v);
}

TEST(Container, DeepNestingAndWideContainersBuildLayOutAndPaint) {
    // As deep as the layout reader accepts: the Window element, the layouts
    // and the button.
    const int levels = CMarkup::kMaxDepth - 2;
    std::wstring deep;
    for (int i = 0; i < levels; ++i)
        deep += L"<VerticalLayout>";
    deep += L"<Button name=\"leaf\" text=\"x\" />";
    for (int i = 0; i < levels; ++i)
        deep += L"</VerticalLayout>";
    Window w1;
    ASSERT_NE(w1.Build(deep, 200, 100), nullptr);
    EXPECT_TRUE(w1.Paint());
    const RECT& leaf = w1.Find(L"leaf")->GetPos();
    EXPECT_TRUE(leaf.left == 0 && leaf.top == 0 && leaf.right == 200) << RectText(leaf);
    EXPECT_EQ(w1.pm.FindControl(POINT{5, 5}), w1.Find(L"leaf"));

    std::wstring wide = L"<HorizontalLayout name=\"row\">";
    for (int i = 0; i < 10000; ++i)
        wide += L"<Control width=\"1\" bkcolor=\"#FF000000\" />";
    wide += L"</HorizontalLayout>";
    Window w2;
    ASSERT_NE(w2.Build(wide, 500, 20), nullptr);
    EXPECT_TRUE(w2.Paint());
    CContainerUI* row = w2.FindAs<CContainerUI>(L"row");
    ASSERT_EQ(row->GetCount(), 10000);
    EXPECT_EQ(row->GetItemAt(9999)->GetPos().left, 9999);
    EXPECT_EQ(w2.Pixel(499, 10), 0xFF000000u);
}

TEST(Container, ExtremeSizesAndPaddingsDoNotOverflow) {
    const std::wstring big = L"99999999999";
    const std::wstring neg = L"-99999999999";
    std::wstring xml = L"<VerticalLayout inset=\"" + big + L"," + neg + L",0," + big +
                       L"\" childpadding=\"" + big + L"\"><Control height=\"" + big +
                       L"\" padding=\"" + big + L"," + big + L"," + big + L"," + big +
                       L"\" /><Label text=\"x\" textpadding=\"" + big + L"," + neg + L"," + big +
                       L"," + neg +
                       L"\" autocalcwidth=\"true\" /><Control /><HorizontalLayout "
                       L"childpadding=\"" +
                       neg + L"\"><Button width=\"" + big +
                       L"\" /><Control /><Text text=\"y\" autocalcwidth=\"true\" textpadding=\"" +
                       big + L",0," + big +
                       L",0\" /></HorizontalLayout><TabLayout><Control "
                       L"padding=\"" +
                       neg + L"," + neg + L"," + big + L"," + big +
                       L"\" /></TabLayout><Control float=\"true\" pos=\"" + neg + L"," + big +
                       L"," + big + L"," + neg + L"\" relativepos=\"" + big + L"," + big + L"," +
                       big + L"," + big + L"\" /><RichEdit text=\"z\" textpadding=\"" + big + L"," +
                       big + L"," + neg + L"," + neg + L"\" /></VerticalLayout>";
    Window w;
    ASSERT_NE(w.Build(xml, 200, 100), nullptr);
    EXPECT_TRUE(w.Paint());
    w.pm.SetClientSize(300, 150); // relative positions move
    EXPECT_TRUE(w.Paint());
}

TEST(Container, InsetsAndPaddingsAtTheIntegerLimitsDoNotOverflow) {
    // Every container kind with each inset side at either end of the
    // integer range (values beyond it read as the limits), holding the
    // children whose sizes and positions derive from the content rectangle.
    const wchar_t* kinds[] = {L"VerticalLayout", L"HorizontalLayout", L"TabLayout", L"Container"};
    const std::wstring ends[] = {L"0", L"-99999999999", L"99999999999"};
    for (const wchar_t* kind : kinds) {
        for (int mask = 0; mask < 81; ++mask) {
            std::wstring inset;
            for (int side = 0, m = mask; side < 4; ++side, m /= 3)
                inset += (side ? L"," : L"") + ends[m % 3];
            std::wstring xml = std::wstring(L"<") + kind + L" inset=\"" + inset +
                               L"\" childpadding=\"-99999999999\"><Control /><Label text=\"x\" "
                               L"autocalcwidth=\"true\" textpadding=\"" +
                               inset + L"\" /><Progress value=\"1\" textpadding=\"" + inset +
                               L"\" /><Control float=\"true\" pos=\"-5,-5,-1,-1\" "
                               L"relativepos=\"50,50,50,50\" /><Text text=\"y\" /></" +
                               kind + L">";
            Window w;
            ASSERT_NE(w.Build(xml, 60, 40), nullptr) << inset;
            EXPECT_TRUE(w.Paint()) << inset;
            w.pm.SetClientSize(90, 50);
            EXPECT_TRUE(w.Paint()) << inset;
        }
    }
    // Both sides of the inset at the negative limit: the content is wider
    // than the coordinate range.
    Window w;
    ASSERT_NE(w.Build(L"<VerticalLayout inset=\"-99999999999,0,-99999999999,0\"><Control />"
                      L"<Button text=\"b\" /></VerticalLayout>",
                      60, 40),
              nullptr);
    EXPECT_TRUE(w.Paint());
}
