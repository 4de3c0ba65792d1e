// The dialog builder: shared definitions, window attributes, includes, the
// element table, the build order and bad input.
#include "control_test_util.h"
#include "uires_test_util.h"

#include <gtest/gtest.h>

using namespace ctl_test;

namespace {

class SkinFolder {
public:
    SkinFolder() {
        uires_test::ResetSkinConfig();
        CPaintManagerUI::SetResourcePath(uires_test::W(dir.path()).c_str());
    }
    ~SkinFolder() { uires_test::ResetSkinConfig(); }
    void Write(const std::string& name, const std::string& text) {
        dir.write(name, uires_test::Bytes(text));
    }
    uires_test::TempDir dir;
};

} // namespace

TEST(DialogBuilder, FontsAfterControlsStillComeFirst) {
    Window w;
    ASSERT_NE(w.Build(L"<Window><VerticalLayout><Label name=\"l\" font=\"1\" />"
                      L"<VerticalLayout><Font name=\"Ignored\" size=\"30\" /></VerticalLayout>"
                      L"</VerticalLayout><Font id=\"7\" name=\"DejaVu Sans\" size=\"14\" />"
                      L"<Font id=\"3\" name=\"DejaVu Sans\" size=\"20\" bold=\"true\" /></Window>",
                      100, 100),
              nullptr);
    EXPECT_EQ(w.pm.GetCustomFontCount(), 2);
    EXPECT_EQ(w.pm.GetFontInfo(0)->iSize, 14);
    EXPECT_EQ(w.pm.GetFontInfo(1)->iSize, 20);
    EXPECT_TRUE(w.pm.GetFontInfo(1)->bBold);
    w.Paint();
    // The label uses font 1: its height is that font's cell + 4.
    EXPECT_EQ(w.Find(L"l")->GetHeight(), w.pm.GetFontInfo(1)->tm.tmHeight + 4);
}

TEST(DialogBuilder, DefaultFontAndWindowAttributes) {
    Window w;
    w.Build(L"<Window size=\"560,408\" caption=\"0,0,0,242\" sizebox=\"1,2,3,4\" "
            L"roundcorner=\"5,6\" mininfo=\"100,50\" maxinfo=\"800,600\" alpha=\"300\" "
            L"defaultfontcolor=\"#FF123456\" disabledfontcolor=\"#FF654321\" "
            L"linkfontcolor=\"#FF0000AA\" linkhoverfontcolor=\"#FF0000BB\" "
            L"selectedcolor=\"#FF0000CC\" showshadow=\"true\" shadowsize=\"5\" "
            L"shadowdarkness=\"70\" shadowcolor=\"#333333\" shadowposition=\"1,2\" "
            L"unknownattr=\"1\"><Font name=\"DejaVu Sans\" size=\"16\" default=\"true\" />"
            L"<VerticalLayout /></Window>");
    EXPECT_EQ(w.pm.GetInitSize().cx, 560);
    EXPECT_EQ(w.pm.GetInitSize().cy, 408);
    EXPECT_EQ(w.pm.GetClientSize().cx, 560); // off-screen: the client size follows
    EXPECT_TRUE(RectIs(w.pm.GetCaptionRect(), 0, 0, 0, 242));
    EXPECT_TRUE(RectIs(w.pm.GetSizeBox(), 1, 2, 3, 4));
    EXPECT_EQ(w.pm.GetRoundCorner().cx, 5);
    EXPECT_EQ(w.pm.GetMinInfo().cy, 50);
    EXPECT_EQ(w.pm.GetMaxInfo().cx, 800);
    EXPECT_EQ(w.pm.GetTransparent(), 255);
    EXPECT_EQ(w.pm.GetDefaultFontColor(), 0xFF123456u);
    EXPECT_EQ(w.pm.GetDefaultDisabledColor(), 0xFF654321u);
    EXPECT_EQ(w.pm.GetDefaultLinkFontColor(), 0xFF0000AAu);
    EXPECT_EQ(w.pm.GetDefaultLinkHoverFontColor(), 0xFF0000BBu);
    EXPECT_EQ(w.pm.GetDefaultSelectedBkColor(), 0xFF0000CCu);
    const CShadowUI* shadow = w.pm.GetShadow();
    EXPECT_TRUE(shadow->IsShowShadow());
    EXPECT_EQ(shadow->GetSize(), 5);
    EXPECT_EQ(shadow->GetDarkness(), 70u);
    EXPECT_EQ(shadow->GetColor(), 0x00333333u); // six digits: alpha 0
    EXPECT_EQ(shadow->GetPosition().y, 2);
    EXPECT_EQ(w.pm.GetFontInfo(-1)->iSize, 16);
    EXPECT_EQ(w.pm.GetCustomFontCount(), 1);
}

TEST(DialogBuilder, RootNotNamedWindowAppliesNoWindowAttributes) {
    Window w;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(L"<Dialog size=\"300,200\"><Font name=\"A\" "
                                                 L"size=\"9\" /><HorizontalLayout name=\"h\" />"
                                                 L"</Dialog>"),
                                      nullptr, nullptr, &w.pm);
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetClass(), L"HorizontalLayoutUI");
    EXPECT_EQ(w.pm.GetCustomFontCount(), 1); // shared definitions still count
    EXPECT_FALSE(builder.ApplyWindowAttributes(&w.pm));
    EXPECT_EQ(w.pm.GetInitSize().cx, 0);
    w.pm.AttachDialog(root);
}

TEST(DialogBuilder, WindowAttributesWaitForTheNativeWindow) {
    // An off-screen manager has no window to give a size or caption: the
    // build leaves them alone, and the off-screen user applies them itself.
    Window w;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(L"<Window size=\"300,200\" caption=\"0,0,0,30\" "
                                                 L"defaultfontcolor=\"#FF123456\"><VerticalLayout "
                                                 L"/></Window>"),
                                      nullptr, nullptr, &w.pm);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(w.pm.GetInitSize().cx, 0);
    EXPECT_EQ(w.pm.GetClientSize().cx, 0);
    EXPECT_TRUE(RectIs(w.pm.GetCaptionRect(), 0, 0, 0, 0));
    EXPECT_NE(w.pm.GetDefaultFontColor(), 0xFF123456u);

    EXPECT_TRUE(builder.ApplyWindowAttributes(&w.pm));
    EXPECT_EQ(w.pm.GetInitSize().cx, 300);
    EXPECT_EQ(w.pm.GetClientSize().cy, 200);
    EXPECT_TRUE(RectIs(w.pm.GetCaptionRect(), 0, 0, 0, 30));
    EXPECT_EQ(w.pm.GetDefaultFontColor(), 0xFF123456u);
    w.pm.AttachDialog(root);
}

TEST(DialogBuilder, LowerCaseElementBuildsNothingInside) {
    Window w;
    w.Build(L"<VerticalLayout name=\"v\"><label name=\"low\"><Button name=\"inner\" /></label>"
            L"<Label name=\"up\" /><Unknown><Button name=\"deep\" /></Unknown></VerticalLayout>",
            50, 50);
    CContainerUI* v = w.FindAs<CContainerUI>(L"v");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->GetCount(), 1);
    EXPECT_EQ(w.Find(L"low"), nullptr);
    EXPECT_EQ(w.Find(L"inner"), nullptr);
    EXPECT_EQ(w.Find(L"deep"), nullptr);
    EXPECT_NE(w.Find(L"up"), nullptr);
}

TEST(DialogBuilder, IncludeCountThreeAndZero) {
    SkinFolder skin;
    skin.Write("part.xml", "<Window><Font name=\"DejaVu Sans\" size=\"11\" /><Button text=\"p\" "
                           "height=\"10\" /><Label height=\"5\" /></Window>");
    Window w;
    w.Build(L"<VerticalLayout><HorizontalLayout name=\"three\" height=\"10\"><Include "
            L"source=\"part.xml\" count=\"3\" /></HorizontalLayout><HorizontalLayout name=\"none\" "
            L"height=\"10\"><Include source=\"part.xml\" count=\"0\" /><Include count=\"2\" />"
            L"<Include /><Include source=\"absent.xml\" /></HorizontalLayout></VerticalLayout>",
            100, 40);
    EXPECT_EQ(w.FindAs<CContainerUI>(L"three")->GetCount(), 6);
    EXPECT_EQ(w.FindAs<CContainerUI>(L"none")->GetCount(), 0);
    EXPECT_EQ(w.pm.GetCustomFontCount(), 3); // each include registers its font
    EXPECT_TRUE(w.Paint());
}

TEST(DialogBuilder, IncludeNeverCountsAsTheFirstControlAndCyclesEnd) {
    SkinFolder skin;
    skin.Write("self.xml",
               "<Window><Include source=\"self.xml\" /><Control name=\"c\" /></Window>");
    skin.Write("part.xml", "<Window><Control name=\"inc\" /></Window>");
    Window w;
    CDialogBuilder builder;
    CVerticalLayoutUI* parent = new CVerticalLayoutUI;
    CControlUI* first = builder.Create(STRINGorID(L"<Window><Include source=\"part.xml\" />"
                                                  L"<Label name=\"own\" /></Window>"),
                                       nullptr, nullptr, &w.pm, parent);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->GetClass(), L"LabelUI");
    EXPECT_EQ(parent->GetCount(), 2);

    // A layout that includes itself stops after a bounded depth.
    CDialogBuilder cyclic;
    CVerticalLayoutUI* holder = new CVerticalLayoutUI;
    parent->Add(holder);
    cyclic.Create(STRINGorID(L"self.xml"), nullptr, nullptr, &w.pm, holder);
    EXPECT_GT(holder->GetCount(), 1);
    EXPECT_LT(holder->GetCount(), 100);
    w.pm.AttachDialog(parent);
}

TEST(DialogBuilder, DefaultAttributesApplyBeforeTheElementsOwn) {
    Window w;
    w.Build(
        L"<Window><Default name=\"Button\" value=\"normalimage=&quot;file='a.png'&quot; "
        L"height=&quot;33&quot;\" /><Default name=\"Button\" value=\"height=&quot;99&quot;\" />"
        L"<VerticalLayout><Button name=\"plain\" /><Button name=\"own\" normalimage=\"b.png\" />"
        L"<Label name=\"label\" /></VerticalLayout></Window>",
        100, 100);
    CButtonUI* plain = w.FindAs<CButtonUI>(L"plain");
    CButtonUI* own = w.FindAs<CButtonUI>(L"own");
    EXPECT_STREQ(plain->GetNormalImage(), L"file='a.png'");
    EXPECT_EQ(plain->GetFixedHeight(), 33); // the first definition wins
    EXPECT_STREQ(own->GetNormalImage(), L"b.png");
    EXPECT_EQ(w.Find(L"label")->GetFixedHeight(), 0);
}

TEST(DialogBuilder, OrderOfChildrenAndAttributes) {
    // A container's children exist before its own attributes apply, so a
    // tab layout's selection sees them; an option's group is registered
    // while its attributes apply.
    Window w;
    w.Build(L"<TabLayout name=\"t\" selectedid=\"1\"><Option name=\"a\" group=\"g\" "
            L"selected=\"true\" /><Option name=\"b\" group=\"g\" selected=\"true\" /></TabLayout>",
            50, 50);
    EXPECT_EQ(w.FindAs<CTabLayoutUI>(L"t")->GetCurSel(), 1);
    EXPECT_EQ(w.pm.GetOptionGroup(L"g")->GetSize(), 2);
    EXPECT_TRUE(w.FindAs<COptionUI>(L"b")->IsSelected());
}

TEST(DialogBuilder, ParentWithoutContainerEndsTheLevel) {
    Window w;
    w.Build(L"<VerticalLayout name=\"v\"><Button name=\"b\"><Label name=\"x\" /><Label name=\"y\" "
            L"/></Button><Label name=\"after\" /></VerticalLayout>",
            50, 50);
    EXPECT_NE(w.Find(L"b"), nullptr);
    EXPECT_EQ(w.Find(L"x"), nullptr);
    EXPECT_NE(w.Find(L"after"), nullptr);
}

TEST(DialogBuilder, PluginsAndCallbackMakeUnknownElements) {
    struct Callback : IDialogBuilderCallback {
        CControlUI* CreateControl(LPCWSTR name) override {
            return std::wstring(name) == L"Custom" ? new CLabelUI : nullptr;
        }
    } callback;
    Window w;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(L"<Window><VerticalLayout><Custom name=\"c\" />"
                                                 L"<Edit name=\"e\" /></VerticalLayout></Window>"),
                                      nullptr, &callback, &w.pm);
    ASSERT_NE(root, nullptr);
    w.pm.AttachDialog(root);
    ASSERT_NE(w.Find(L"c"), nullptr);
    EXPECT_STREQ(w.Find(L"c")->GetClass(), L"LabelUI");
    EXPECT_EQ(w.Find(L"e"), nullptr);
}

TEST(DialogBuilder, LoadFailuresGiveNull) {
    SkinFolder skin;
    Window w;
    CDialogBuilder a;
    EXPECT_EQ(a.Create(STRINGorID(L"nothere.xml"), nullptr, nullptr, &w.pm), nullptr);
    wchar_t message[200] = {0};
    a.GetLastErrorMessage(message, 200);
    EXPECT_NE(message[0], 0);
    CDialogBuilder b;
    EXPECT_EQ(b.Create(STRINGorID(L"<Window><VerticalLayout></Window>"), nullptr, nullptr, &w.pm),
              nullptr);
    CDialogBuilder c;
    EXPECT_EQ(c.Create(STRINGorID(129u), nullptr, nullptr, &w.pm), nullptr);
    CDialogBuilder d;
    EXPECT_EQ(d.Create(STRINGorID(L"<Window></Window>"), nullptr, nullptr, &w.pm), nullptr);
}

TEST(DialogBuilder, BadValuesAreReadAsFarAsTheyGo) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"a\" height=\"12px\" width=\"x\" padding=\"3;;\" "
            L"bkcolor=\"#GG\" bordersize=\"1,\" pos=\"\" visible=\"yes\" /><Label name=\"b\" "
            L"font=\"42\" text=\"t\" bkimage=\"file='none.png' source='1\" /><Control name=\"c\" "
            L"height=\"99999999999\" /></VerticalLayout>",
            100, 100);
    CControlUI* a = w.Find(L"a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetFixedHeight(), 0); // "pos" came after "height" and set 0
    EXPECT_EQ(a->GetPadding().left, 3);
    EXPECT_EQ(a->GetBkColor(), 0u);
    EXPECT_FALSE(a->IsVisible());
    EXPECT_EQ(w.Find(L"c")->GetFixedHeight(), 2147483647);
    EXPECT_TRUE(w.Paint()); // a missing font and image leave the label without them
}

TEST(DialogBuilder, TopLevelControlsAfterTheFirstAreReleased) {
    SkinFolder skin;
    skin.Write("part.xml", "<Window><Option group=\"g\" /><Control /></Window>");
    Window w;
    CDialogBuilder builder;
    CControlUI* first = builder.Create(STRINGorID(L"<Window><Label name=\"one\" /><Option "
                                                  L"name=\"two\" group=\"g\" /><Include "
                                                  L"source=\"part.xml\" /></Window>"),
                                       nullptr, nullptr, &w.pm);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->GetClass(), L"LabelUI");
    // The second control and both included ones wait for the clean-up, which
    // also takes the options out of their group.
    EXPECT_EQ(w.pm.GetDelayedCleanupCount(), 3);
    w.pm.AttachDialog(first);
    w.pm.ProcessDelayedCleanup();
    EXPECT_EQ(w.pm.GetOptionGroup(L"g"), nullptr);

    // Without a manager they are released at once.
    CDialogBuilder plain;
    CControlUI* alone =
        plain.Create(STRINGorID(L"<Window><Control /><Control /><Control /></Window>"));
    ASSERT_NE(alone, nullptr);
    delete alone;
}

TEST(DialogBuilder, HugeIncludeCountsAreBounded) {
    SkinFolder skin;
    skin.Write("one.xml", "<Window><Control /></Window>");
    skin.Write("many.xml", "<Window><Include source=\"one.xml\" count=\"50\" /></Window>");
    Window w;
    w.Build(L"<HorizontalLayout name=\"h\"><Include source=\"absent.xml\" count=\"2000000000\" />"
            L"<Include source=\"many.xml\" count=\"2000000000\" /></HorizontalLayout>",
            100, 10);
    CContainerUI* h = w.FindAs<CContainerUI>(L"h");
    ASSERT_NE(h, nullptr);
    EXPECT_GT(h->GetCount(), 1000);
    EXPECT_LE(h->GetCount(), 10000);
    EXPECT_TRUE(w.Paint());
}
