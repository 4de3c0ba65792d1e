// The caret of an editable text field in a real window: drawn by the paint
// manager in the field's text colour after the text, blinking on timer 241,
// following the text, gone with the focus, absent from read-only fields, and
// forgotten with its field.
#include "host_test_util.h"

#include "plat/win/observe.h"

#include <gtest/gtest.h>

using namespace host_test;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlue = 0xFF0000FFu;

const wchar_t* kLayout = LR"(<Window size="300,100">
  <VerticalLayout name="body" bkcolor="#FFFFFFFF">
    <RichEdit name="edit" textcolor="#FF0000FF" textpadding="6,4,6,4" height="30" />
    <Rec name="other" tabstop="true" height="30" />
  </VerticalLayout>
</Window>)";

class Caret : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(w.Open(100, 100, 300, 100), nullptr);
        // The first paint lays out and gives the first tab stop, the field,
        // the focus.
        ASSERT_TRUE(PumpUntil([&] { return w.pm.GetFocus() != nullptr; }));
        PumpNow();
        edit = static_cast<CRichEditUI*>(w.pm.FindControl(L"edit"));
        ASSERT_NE(edit, nullptr);
    }
    void TearDown() override {
        plat::DestroyWindow(w);
        PumpNow();
    }
    uint32_t At(POINT pt) { return plat::HeadlessCaptureWindow(w).At(pt.x, pt.y); }
    // A point inside the drawn caret.
    POINT CaretPoint() {
        RECT rc = w.pm.GetCaretRect();
        return POINT{rc.left, (rc.top + rc.bottom) / 2};
    }
    static void Blink() {
        plat::AdvanceWindowClock(plat::GetCaretBlinkTime());
        PumpNow();
    }

    HostWindow w{kLayout, L"CaretTestWindow"};
    CRichEditUI* edit = nullptr;
};

TEST_F(Caret, FocusedFieldShowsABlinkingCaretInItsTextColour) {
    ASSERT_EQ(w.pm.GetFocus(), edit);
    EXPECT_TRUE(w.pm.IsCaretShowing());
    RECT rc = w.pm.GetCaretRect();
    // At the start of the empty text, one pixel wide, a line high.
    EXPECT_EQ(rc.left, 6);
    EXPECT_EQ(rc.top, 4);
    EXPECT_EQ(rc.right, 7);
    EXPECT_GT(rc.bottom - rc.top, 8);
    EXPECT_LE(rc.bottom, 26);
    POINT native{};
    ASSERT_TRUE(plat::GetCaretPos(&native));
    EXPECT_EQ(native.x, 6);
    EXPECT_EQ(native.y, 4);
    EXPECT_EQ(At(CaretPoint()), kBlue);
    EXPECT_EQ(At(POINT{7, rc.top}), kWhite);
    Blink();
    EXPECT_FALSE(w.pm.IsCaretActive());
    EXPECT_EQ(At(CaretPoint()), kWhite);
    Blink();
    EXPECT_EQ(At(CaretPoint()), kBlue);
}

TEST_F(Caret, CaretFollowsTheTextAndGoesWithTheFocus) {
    plat::SendMessage(w, WM_CHAR, L'W', 0);
    plat::SendMessage(w, WM_CHAR, L'W', 0);
    PumpNow();
    EXPECT_EQ(edit->GetText(), CStdString(L"WW"));
    RECT rc = w.pm.GetCaretRect();
    EXPECT_GT(rc.left, 6 + 10) << "after two wide letters";
    EXPECT_EQ(At(CaretPoint()), kBlue);
    const POINT after = CaretPoint();
    // Backspace brings it back.
    plat::SendMessage(w, WM_CHAR, 0x08, 0);
    PumpNow();
    EXPECT_LT(w.pm.GetCaretRect().left, rc.left);
    EXPECT_EQ(At(after), kWhite);
    // The focus moves on: the caret goes and stays gone.
    w.pm.SetFocus(w.pm.FindControl(L"other"));
    PumpNow();
    EXPECT_FALSE(w.pm.IsCaretShowing());
    EXPECT_EQ(At(CaretPoint()), kWhite);
    Blink();
    EXPECT_EQ(At(CaretPoint()), kWhite);
}

TEST_F(Caret, ReadOnlyFieldHasNoCaretAndAGoneFieldLeavesNone) {
    edit->SetReadOnly(true);
    EXPECT_FALSE(w.pm.IsCaretShowing());
    w.pm.SetFocus(w.pm.FindControl(L"other"));
    w.pm.SetFocus(edit);
    PumpNow();
    EXPECT_FALSE(w.pm.IsCaretShowing());
    const POINT where = CaretPoint();
    EXPECT_EQ(At(where), kWhite);
    // Editable again and focused: the caret is back; then the field is
    // removed while it owns the caret. Painting afterwards must not reach it.
    edit->SetReadOnly(false);
    w.pm.SetFocus(w.pm.FindControl(L"other"));
    w.pm.SetFocus(edit);
    PumpNow();
    ASSERT_TRUE(w.pm.IsCaretShowing());
    auto* body = static_cast<CContainerUI*>(w.pm.FindControl(L"body"));
    ASSERT_TRUE(body->Remove(edit));
    edit = nullptr;
    PumpNow();
    EXPECT_FALSE(w.pm.IsCaretShowing());
    w.pm.Invalidate();
    Blink();
    PumpNow();
    EXPECT_EQ(At(where), kWhite);
}

} // namespace
