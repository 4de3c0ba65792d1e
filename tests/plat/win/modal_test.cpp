// The one modal loop (ModalLoop) and forgetting the windows of a thread that
// ended.
#include <thread>

#include "helpers.h"
#include "plat/win/modal.h"

using namespace wintest;

namespace {

constexpr UINT kPing = WM_USER + 40;

class ModalTest : public WinTest {};

// A guard that ends a loop that would otherwise never end.
struct QuitGuard {
    UINT_PTR id =
        SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
    ~QuitGuard() { KillTimer(nullptr, id); }
};

} // namespace

TEST_F(ModalTest, OwnerIsDisabledDuringTheLoopAndEnabledAndFocusedAfter) {
    HWND owner = Make(100, 100, 200, 200);
    HWND box = Make(150, 150, 50, 50, owner);
    SetFocus(box);
    QuitGuard guard;
    bool ownerEnabledInside = true;
    PostMessage(box, kPing, 0, 0);
    ModalLoop loop(owner);
    bool done = false;
    bool ended = loop.Run([&] { return !done; },
                          [&](const MSG& m) {
                              if (m.message == kPing) {
                                  ownerEnabledInside = IsWindowEnabled(owner) != FALSE;
                                  done = true;
                              }
                              return false;
                          });
    EXPECT_TRUE(ended);
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetFocus(), owner);
    EXPECT_EQ(GetActiveWindow(), owner);
}

TEST_F(ModalTest, FilterConsumesMessagesBeforeDispatch) {
    HWND h = Make(0, 0, 10, 10);
    QuitGuard guard;
    PostMessage(h, kPing, 1, 0);
    PostMessage(h, kPing, 2, 0);
    PostMessage(h, kPing, 3, 0);
    int seen = 0;
    ModalLoop loop(nullptr);
    loop.Run([&] { return seen < 3; },
             [&](const MSG& m) {
                 if (m.message != kPing)
                     return false;
                 ++seen;
                 return m.wParam == 2; // the second is consumed
             });
    std::vector<Rec> keep;
    std::vector<WPARAM> dispatched;
    for (auto& r : LogCopy())
        if (r.hwnd == h && r.msg == kPing)
            dispatched.push_back(r.wParam);
    EXPECT_EQ(dispatched, (std::vector<WPARAM>{1, 3}));
}

TEST_F(ModalTest, QuitEndsTheLoopAndIsPostedAgainForTheEnclosingLoop) {
    HWND owner = Make(0, 0, 100, 100);
    QuitGuard guard;
    PostQuitMessage(7);
    ModalLoop loop(owner);
    EXPECT_FALSE(loop.Run([] { return true; }));
    EXPECT_EQ(loop.QuitCode(), 7);
    EXPECT_TRUE(IsWindowEnabled(owner));
    // The enclosing loop sees the same quit.
    MSG m;
    EXPECT_EQ(GetMessage(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.wParam, 7u);
}

TEST_F(ModalTest, NestedLoopOnADisabledOwnerLeavesItDisabled) {
    HWND owner = Make(0, 0, 100, 100);
    QuitGuard guard;
    ModalLoop outer(owner);
    ASSERT_FALSE(IsWindowEnabled(owner));
    {
        ModalLoop inner(owner);
        PostMessage(owner, kPing, 0, 0);
        bool done = false;
        inner.Run([&] { return !done; }, [&](const MSG& m) { return done = (m.message == kPing); });
    }
    // The outer modal window still runs: its owner stays disabled.
    EXPECT_FALSE(IsWindowEnabled(owner));
    outer.ReleaseOwner();
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(ModalTest, OwnerDestroyedDuringTheLoopIsNotTouchedAfterwards) {
    HWND owner = Make(0, 0, 100, 100);
    QuitGuard guard;
    ModalLoop loop(owner);
    PostMessage(owner, kPing, 0, 0);
    bool done = false;
    loop.Run([&] { return !done; },
             [&](const MSG& m) {
                 if (m.message == kPing) {
                     DestroyWindow(owner);
                     done = true;
                 }
                 return false;
             });
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(ModalTest, WindowsOfAnEndedThreadLeaveTheirParent) {
    HWND parent = Make(0, 0, 200, 200);
    HWND child = nullptr;
    std::thread t([&] {
        child = CreateWindowEx(0, kRecClass, L"c", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, parent,
                               nullptr, nullptr, nullptr);
    });
    t.join();
    ASSERT_TRUE(child);
    EXPECT_FALSE(IsWindow(child));
    // The parent no longer lists a dead child.
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    EXPECT_FALSE(IsChild(parent, child));
}
