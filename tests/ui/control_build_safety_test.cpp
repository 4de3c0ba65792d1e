// The dialog builder on hostile layouts: controls it throws away while
// building, trees built and discarded without being attached, and nesting at
// the depth the markup reader accepts. Run under the sanitizer build, these
// catch use of freed controls and stack exhaustion.
#include "control_test_util.h"
#include "uires_test_util.h"

#include <gtest/gtest.h>

using namespace ctl_test;

namespace {

// Nothing of a built but unattached tree may stay registered with the
// manager it was built with.
void ExpectNothingRegistered(CPaintManagerUI& pm, const wchar_t* group, const wchar_t* name) {
    EXPECT_EQ(pm.GetOptionGroup(group), nullptr);
    EXPECT_EQ(pm.GetFocus(), nullptr);
    EXPECT_TRUE(Inspect(pm).GetTimers().empty());
    EXPECT_EQ(pm.FindControl(name), nullptr);
}

std::wstring Nested(int levels, const std::wstring& inner = L"") {
    std::wstring doc;
    for (int i = 0; i < levels; ++i)
        doc += L"<VerticalLayout>";
    doc += inner;
    for (int i = 0; i < levels; ++i)
        doc += L"</VerticalLayout>";
    return doc;
}

int TreeDepth(CControlUI* control) {
    int depth = 0;
    while (control != nullptr) {
        ++depth;
        auto* container = static_cast<IContainerUI*>(control->GetInterface(L"IContainer"));
        control =
            (container != nullptr && container->GetCount() > 0) ? container->GetItemAt(0) : nullptr;
    }
    return depth;
}

} // namespace

TEST(BuildSafety, OptionThrownAwayWithItsLayoutLeavesItsGroup) {
    // The inner layout sits in a button, which takes no children: it is
    // destroyed while the layout builds, with the option that joined group g.
    // Selecting the second option of g then must not reach the first.
    Window w;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(
        STRINGorID(L"<Window><VerticalLayout><Button><VerticalLayout><Option group=\"g\" />"
                   L"</VerticalLayout></Button><Option name=\"kept\" group=\"g\" "
                   L"selected=\"true\" /></VerticalLayout></Window>"),
        nullptr, nullptr, &w.pm);
    ASSERT_NE(root, nullptr);
    ExpectNothingRegistered(w.pm, L"g", L"kept");

    w.pm.AttachDialog(root);
    ASSERT_NE(w.pm.GetOptionGroup(L"g"), nullptr);
    EXPECT_EQ(w.pm.GetOptionGroup(L"g")->GetSize(), 1);
    auto* kept = w.FindAs<COptionUI>(L"kept");
    ASSERT_NE(kept, nullptr);
    EXPECT_TRUE(kept->IsSelected());
}

TEST(BuildSafety, RefusedChildLeavesNothingBehind) {
    // An Add that refuses the child: a tab layout item that is an option in a
    // group, refused by a container subclass, is destroyed at once.
    struct Refusing : CVerticalLayoutUI {
        bool Add(CControlUI*) override { return false; }
    };
    struct Callback : IDialogBuilderCallback {
        CControlUI* CreateControl(LPCWSTR name) override {
            return std::wstring(name) == L"Refusing" ? new Refusing : nullptr;
        }
    } callback;
    Window w;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(
        STRINGorID(L"<Window><VerticalLayout><Refusing><TabLayout selectedid=\"0\"><Option "
                   L"name=\"o\" group=\"g\" /></TabLayout></Refusing><Option group=\"g\" "
                   L"selected=\"true\" /></VerticalLayout></Window>"),
        nullptr, &callback, &w.pm);
    ASSERT_NE(root, nullptr);
    ExpectNothingRegistered(w.pm, L"g", L"o");
    delete root;
}

TEST(BuildSafety, TreeDiscardedWithoutAttachingKeepsNoFocus) {
    // "selectedid" gives the selected page the focus while the tab layout's
    // attributes apply under the build's manager. The tree is then thrown
    // away; the manager goes on with another one.
    Window w;
    {
        CDialogBuilder builder;
        CControlUI* root = builder.Create(
            STRINGorID(L"<Window><TabLayout selectedid=\"1\"><Button name=\"a\" /><Option "
                       L"name=\"b\" group=\"g\" /></TabLayout></Window>"),
            nullptr, nullptr, &w.pm);
        ASSERT_NE(root, nullptr);
        ExpectNothingRegistered(w.pm, L"g", L"b");
        delete root;
    }
    ASSERT_NE(w.Build(L"<VerticalLayout><Button name=\"x\" /></VerticalLayout>", 50, 50), nullptr);
    w.Paint();
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"x"));
}

TEST(BuildSafety, BuildingBesideAnAttachedTreeKeepsItsRegistrations) {
    // A second build with the same manager forgets only its own controls.
    Window w;
    ASSERT_NE(w.Build(L"<VerticalLayout><Option name=\"live\" group=\"g\" selected=\"true\" />"
                      L"<Button name=\"btn\" /></VerticalLayout>",
                      50, 50),
              nullptr);
    w.Paint();
    CControlUI* focus = w.pm.GetFocus();
    CControlUI* live = w.Find(L"live");
    ASSERT_NE(focus, nullptr);
    ASSERT_NE(live, nullptr);
    {
        CDialogBuilder builder;
        CControlUI* other = builder.Create(
            STRINGorID(L"<Window><VerticalLayout><Option name=\"live\" group=\"g\" /></"
                       L"VerticalLayout></Window>"),
            nullptr, nullptr, &w.pm);
        ASSERT_NE(other, nullptr);
        delete other;
    }
    ASSERT_NE(w.pm.GetOptionGroup(L"g"), nullptr);
    EXPECT_EQ(w.pm.GetOptionGroup(L"g")->GetSize(), 1);
    EXPECT_EQ(w.pm.GetOptionGroup(L"g")->GetAt(0), live);
    EXPECT_EQ(w.pm.FindControl(L"live"), live);
    EXPECT_EQ(w.pm.GetFocus(), focus);
}

TEST(BuildSafety, NestingAtTheMarkupLimitBuildsLaysOutAndPaints) {
    // The root element counts as one level: the deepest layout the reader
    // accepts has kMaxDepth - 1 nested layouts under the Window element.
    const int levels = CMarkup::kMaxDepth - 1;
    Window w;
    CControlUI* root = w.Build(L"<Window>" + Nested(levels) + L"</Window>", 40, 40);
    ASSERT_NE(root, nullptr) << "the deepest accepted layout must build";
    EXPECT_EQ(TreeDepth(root), levels);
    EXPECT_TRUE(w.Paint());
    EXPECT_EQ(w.pm.FindControl(POINT{20, 20}) != nullptr, true);

    CDialogBuilder tooDeep;
    EXPECT_EQ(tooDeep.Create(STRINGorID((L"<Window>" + Nested(levels + 1) + L"</Window>").c_str()),
                             nullptr, nullptr, &w.pm),
              nullptr);
    EXPECT_STREQ(tooDeep.GetMarkup()->GetLastErrorMessage(), L"Elements nested too deeply");
}

TEST(BuildSafety, IncludesCannotNestBeyondTheLimit) {
    // Each included layout is as deep as the reader allows and includes
    // itself again at its bottom: the built tree still stops at the limit.
    uires_test::TempDir dir;
    const std::wstring deep = L"<Window>" +
                              Nested(CMarkup::kMaxDepth - 2, L"<Include source=\"deep.xml\" />") +
                              L"</Window>";
    dir.write("deep.xml", uires_test::Bytes(std::string(deep.begin(), deep.end())));
    uires_test::ResetSkinConfig();
    CPaintManagerUI::SetResourcePath(uires_test::W(dir.path()).c_str());
    Window w;
    CControlUI* root = w.Build(L"<Window><VerticalLayout><Include source=\"deep.xml\" />"
                               L"</VerticalLayout></Window>",
                               40, 40);
    uires_test::ResetSkinConfig();
    ASSERT_NE(root, nullptr);
    const int depth = TreeDepth(root);
    EXPECT_GT(depth, CMarkup::kMaxDepth / 2);
    EXPECT_LE(depth, CMarkup::kMaxDepth);
    EXPECT_TRUE(w.Paint());
}
