// The caret: drawn by inversion on its window's pixels, blinking on the
// window manager's clock, its hide count, painting over it, and its end
// with its window.
#include <thread>

#include "helpers.h"
#include "plat/win/observe.h"

using namespace wintest;

namespace {

constexpr UINT kBlinkMs = 60000;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;

class CaretTest : public WinTest {
protected:
    void SetUp() override {
        WinTest::SetUp();
        blink = GetCaretBlinkTime();
        // A blink time far beyond any test step: only the test's own clock
        // advances make the caret blink, however loaded the machine is.
        ASSERT_TRUE(SetCaretBlinkTime(kBlinkMs));
    }
    void TearDown() override {
        DestroyCaret();
        SetCaretBlinkTime(blink);
        WinTest::TearDown();
    }
    // A white 200 x 100 window at (x, 100).
    HWND WhiteWindow(int x = 100) {
        HWND h = Make(x, 100, 200, 100);
        SetHandler(h, SolidPainter(RGB(255, 255, 255)));
        PumpNow();
        return h;
    }
    static uint32_t At(int x, int y) { return HeadlessCaptureScreen().At(x, y); }
    // Lets one blink interval pass.
    static void Blink() {
        AdvanceWindowClock(kBlinkMs);
        PumpNow();
    }
    UINT blink = 0;
};

TEST_F(CaretTest, ShownCaretInvertsItsWindowAndBlinksOnTheClock) {
    HWND h = WhiteWindow();
    ASSERT_TRUE(CreateCaret(h, nullptr, 2, 12));
    ASSERT_TRUE(SetCaretPos(10, 20));
    PumpNow();
    EXPECT_EQ(At(110, 120), kWhite) << "a new caret is hidden";
    ASSERT_TRUE(ShowCaret(h));
    // Columns 10-11 and rows 20-31 of the client area, inverted at once.
    EXPECT_EQ(At(110, 120), kBlack);
    EXPECT_EQ(At(111, 131), kBlack);
    EXPECT_EQ(At(112, 120), kWhite);
    EXPECT_EQ(At(110, 132), kWhite);
    POINT pt{};
    ASSERT_TRUE(GetCaretPos(&pt));
    EXPECT_EQ(pt.x, 10);
    EXPECT_EQ(pt.y, 20);
    // A window timer of the same number is the window's own business.
    ASSERT_TRUE(SetTimer(h, 0xFFFF, 100000, nullptr));
    ASSERT_TRUE(KillTimer(h, 0xFFFF));
    Blink();
    EXPECT_EQ(At(110, 120), kWhite);
    Blink();
    EXPECT_EQ(At(110, 120), kBlack);
    EXPECT_EQ(CountOf(h, WM_TIMER), 0) << "the blink is the system's timer";
}

TEST_F(CaretTest, HideCountMustBeMatchedAndAMoveDrawsAtOnce) {
    HWND h = WhiteWindow();
    ASSERT_TRUE(CreateCaret(h, nullptr, 2, 12));
    ASSERT_TRUE(SetCaretPos(10, 20));
    ASSERT_TRUE(ShowCaret(nullptr));
    EXPECT_EQ(At(110, 120), kBlack);
    ASSERT_TRUE(HideCaret(h));
    ASSERT_TRUE(HideCaret(h));
    EXPECT_EQ(At(110, 120), kWhite);
    ASSERT_TRUE(ShowCaret(h));
    EXPECT_EQ(At(110, 120), kWhite) << "one hide is still unmatched";
    Blink();
    EXPECT_EQ(At(110, 120), kWhite) << "a hidden caret does not blink";
    ASSERT_TRUE(ShowCaret(h));
    EXPECT_EQ(At(110, 120), kBlack);
    // Showing a shown caret counts for nothing: one hide hides it again.
    ASSERT_TRUE(ShowCaret(h));
    ASSERT_TRUE(HideCaret(h));
    EXPECT_EQ(At(110, 120), kWhite);
    ASSERT_TRUE(ShowCaret(h));
    // Half-way through a blink the caret is off; a move draws it at once in
    // its new place and leaves nothing behind.
    Blink();
    EXPECT_EQ(At(110, 120), kWhite);
    ASSERT_TRUE(SetCaretPos(50, 40));
    EXPECT_EQ(At(110, 120), kWhite);
    EXPECT_EQ(At(150, 140), kBlack);
    // Only the owner (or null) may show or hide it.
    HWND other = WhiteWindow(400);
    EXPECT_FALSE(ShowCaret(other));
    EXPECT_FALSE(HideCaret(other));
    EXPECT_EQ(At(150, 140), kBlack);
}

TEST_F(CaretTest, PaintingUnderTheCaretKeepsItsPhase) {
    HWND h = WhiteWindow();
    ASSERT_TRUE(CreateCaret(h, nullptr, 3, 10));
    ASSERT_TRUE(SetCaretPos(30, 30));
    ASSERT_TRUE(ShowCaret(h));
    // Repainting the window white under a drawn caret: the caret is taken
    // off for the paint and put back after it, so it is still there ...
    InvalidateRect(h, nullptr, FALSE);
    PumpNow();
    EXPECT_EQ(At(130, 130), kBlack);
    // ... and the next blink takes it off instead of drawing a second one.
    Blink();
    EXPECT_EQ(At(130, 130), kWhite);
    // After a paint while it is off it shows again at once, and blinks on.
    InvalidateRect(h, nullptr, FALSE);
    PumpNow();
    EXPECT_EQ(At(130, 130), kBlack);
    Blink();
    EXPECT_EQ(At(130, 130), kWhite);
}

TEST_F(CaretTest, BitmapCaretIsXoredWithItsOwnSizeAndReplacesTheOldCaret) {
    HWND h = WhiteWindow();
    ASSERT_TRUE(CreateCaret(h, nullptr, 4, 4));
    ASSERT_TRUE(SetCaretPos(0, 0));
    ASSERT_TRUE(ShowCaret(h));
    EXPECT_EQ(At(100, 100), kBlack);
    // A 3 x 5 bitmap of pure red: white XOR red is cyan.
    void* bits = nullptr;
    HBITMAP bmp = CreateDIB32(3, 5, &bits);
    ASSERT_TRUE(bmp);
    for (int i = 0; i < 15; ++i)
        static_cast<uint32_t*>(bits)[i] = 0xFFFF0000u;
    ASSERT_TRUE(CreateCaret(h, bmp, 40, 40));
    DeleteObject(bmp); // the caret keeps its own copy
    EXPECT_EQ(At(100, 100), kWhite) << "the old caret is taken off";
    ASSERT_TRUE(SetCaretPos(20, 10));
    ASSERT_TRUE(ShowCaret(h));
    EXPECT_EQ(At(120, 110), 0xFF00FFFFu);
    EXPECT_EQ(At(122, 114), 0xFF00FFFFu);
    EXPECT_EQ(At(123, 110), kWhite);
    EXPECT_EQ(At(120, 115), kWhite);
    // The grey caret: (HBITMAP)1.
    ASSERT_TRUE(CreateCaret(h, reinterpret_cast<HBITMAP>(1), 2, 2));
    EXPECT_EQ(At(120, 110), kWhite);
    ASSERT_TRUE(ShowCaret(h));
    EXPECT_EQ(At(100, 100), 0xFF7F7F7Fu);
}

TEST_F(CaretTest, CaretGoesWithItsWindowAndBelongsToOneThread) {
    HWND h = WhiteWindow();
    ASSERT_TRUE(CreateCaret(h, nullptr, 2, 2));
    ASSERT_TRUE(ShowCaret(h));
    DestroyWindow(h);
    POINT pt;
    EXPECT_FALSE(GetCaretPos(&pt));
    EXPECT_FALSE(SetCaretPos(1, 1));
    EXPECT_FALSE(DestroyCaret());
    EXPECT_FALSE(ShowCaret(nullptr));
    // A window of another thread cannot take this thread's caret, and the
    // other thread has no caret of its own.
    HWND mine = WhiteWindow(400);
    BOOL created = TRUE, moved = TRUE;
    std::thread([&] {
        created = CreateCaret(mine, nullptr, 2, 2);
        moved = SetCaretPos(1, 1);
    }).join();
    EXPECT_FALSE(created);
    EXPECT_FALSE(moved);
    EXPECT_FALSE(SetCaretBlinkTime(0));
    EXPECT_EQ(GetCaretBlinkTime(), kBlinkMs);
}

} // namespace
