// Message queues: cross-thread sends, posting order, dropped posts, quit
// nesting, timers.
#include <atomic>
#include <future>

#include "helpers.h"

using namespace wintest;

namespace {

constexpr UINT kPing = WM_USER + 1;
constexpr UINT kSeq = WM_USER + 2;

class QueueTest : public WinTest {};

TEST_F(QueueTest, SendFromWorkerBlocksUntilHandledInsideGetMessage) {
    HWND h = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    std::thread::id handledOn;
    SetHandler(h, [&](HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* r) {
        if (msg != kPing)
            return false;
        handledOn = std::this_thread::get_id();
        *r = static_cast<LRESULT>(wp * 2);
        return true;
    });
    std::atomic<bool> returned{false};
    LRESULT result = 0;
    std::thread worker([&] {
        result = SendMessage(h, kPing, 21, 0);
        returned = true;
        PostMessage(h, WM_NULL, 0, 0); // end the GetMessage below
    });
    // The send runs inside GetMessage, which then returns the posted WM_NULL
    // (a timer bounds the wait should it never come).
    SetTimer(h, 77, 5000, nullptr);
    MSG m;
    ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0) > 0);
    EXPECT_EQ(m.message, WM_NULL);
    KillTimer(h, 77);
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
}

TEST_F(QueueTest, SendIsHandledInsideNestedModalLoop) {
    HWND owner = Make(0, 0, 10, 10, nullptr, WS_POPUP | WS_VISIBLE);
    HWND dialog = Make(0, 0, 10, 10, owner, WS_POPUP | WS_VISIBLE);
    int nestingAtHandling = -1;
    int nesting = 0;
    SetHandler(owner, [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
        if (msg != kPing)
            return false;
        nestingAtHandling = nesting;
        *r = 7;
        return true;
    });
    LRESULT result = 0;
    std::thread worker;
    // A modal loop for the dialog, as a toolkit runs it: all windows of the
    // thread, ending when the dialog is gone.
    nesting = 1;
    worker = std::thread([&] {
        result = SendMessage(owner, kPing, 0, 0);
        PostMessage(dialog, WM_CLOSE, 0, 0);
    });
    MSG m;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (IsWindow(dialog) && std::chrono::steady_clock::now() < deadline) {
        if (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessage(&m);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    nesting = 0;
    worker.join();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(result, 7);
    EXPECT_EQ(nestingAtHandling, 1);
}

TEST_F(QueueTest, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    HWND mine = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    std::promise<HWND> theirsP;
    std::atomic<bool> stop{false};
    LRESULT fromWorker = 0;
    std::thread worker([&] {
        HWND theirs = CreateWindowEx(0, kRecClass, L"w", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     nullptr, nullptr);
        SetHandler(theirs, [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
            if (msg != kPing)
                return false;
            // While handling our send, send back to the main thread.
            *r = 100 + SendMessage(mine, kPing, 0, 0);
            return true;
        });
        theirsP.set_value(theirs);
        while (!stop) {
            PumpNow();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        DestroyWindow(theirs);
    });
    SetHandler(mine, [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
        if (msg != kPing)
            return false;
        *r = 5;
        return true;
    });
    HWND theirs = theirsP.get_future().get();
    fromWorker = SendMessage(theirs, kPing, 0, 0);
    stop = true;
    worker.join();
    EXPECT_EQ(fromWorker, 105);
}

TEST_F(QueueTest, PostsFromAnotherThreadArriveInOrder) {
    HWND h = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    std::vector<WPARAM> got;
    SetHandler(h, [&](HWND, UINT msg, WPARAM wp, LPARAM, LRESULT*) {
        if (msg == kSeq)
            got.push_back(wp);
        return msg == kSeq;
    });
    constexpr int kCount = 2000;
    std::thread worker([&] {
        for (int i = 0; i < kCount; ++i)
            ASSERT_TRUE(PostMessage(h, kSeq, static_cast<WPARAM>(i), 0));
    });
    ASSERT_TRUE(PumpUntil([&] { return got.size() == kCount; }));
    worker.join();
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(got[static_cast<size_t>(i)], static_cast<WPARAM>(i));
}

TEST_F(QueueTest, MessagePostedToDestroyedWindowIsDropped) {
    HWND a = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    ASSERT_TRUE(PostMessage(a, kSeq, 1, 0));
    DestroyWindow(a);
    // A later window never receives the old message, and posting to the
    // dead handle fails.
    HWND b = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    EXPECT_NE(a, b);
    EXPECT_FALSE(PostMessage(a, kSeq, 2, 0));
    PumpNow();
    EXPECT_EQ(CountOf(a, kSeq), 0);
    EXPECT_EQ(CountOf(b, kSeq), 0);
    MSG m;
    EXPECT_FALSE(PeekMessage(&m, nullptr, kSeq, kSeq, PM_REMOVE));
}

TEST_F(QueueTest, HandlesAreNeverReused) {
    std::set<HWND> seen;
    for (int i = 0; i < 200; ++i) {
        HWND h = CreateWindowEx(0, kRecClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
        ASSERT_TRUE(h);
        EXPECT_TRUE(seen.insert(h).second);
        DestroyWindow(h);
        EXPECT_FALSE(IsWindow(h));
    }
}

TEST_F(QueueTest, QuitEndsInnermostLoopAndRepostEndsTheNext) {
    HWND h = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    PostMessage(h, kSeq, 1, 0);
    PostQuitMessage(18);
    PostMessage(h, kSeq, 2, 0);
    // Should a loop never see its quit, this ends both within seconds.
    UINT_PTR guard =
        SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
    // Outer loop, whose first message starts an inner loop.
    MSG m;
    int outerExit = -1, innerExit = -1;
    bool innerRan = false;
    while (GetMessage(&m, nullptr, 0, 0) > 0) {
        DispatchMessage(&m);
        if (m.message == kSeq && !innerRan) {
            innerRan = true;
            while (GetMessage(&m, nullptr, 0, 0) > 0)
                DispatchMessage(&m);
            innerExit = static_cast<int>(m.wParam);
            PostQuitMessage(innerExit); // hand the quit to the enclosing loop
        }
    }
    outerExit = static_cast<int>(m.wParam);
    KillTimer(nullptr, guard);
    EXPECT_EQ(innerExit, 18);
    EXPECT_EQ(outerExit, 18);
    // The quit came only after both posted messages.
    EXPECT_EQ(CountOf(h, kSeq), 2);
}

TEST_F(QueueTest, SendToWindowWhoseThreadEndedReturnsZeroAtOnce) {
    HWND theirs = nullptr;
    std::thread t([&] {
        theirs = CreateWindowEx(0, kRecClass, L"gone", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    });
    t.join();
    ASSERT_TRUE(theirs);
    EXPECT_FALSE(IsWindow(theirs));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMessage(theirs, kPing, 0, 0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

TEST_F(QueueTest, PendingSendIsReleasedWhenTheOwnerThreadEnds) {
    std::promise<HWND> made;
    std::promise<void> go;
    std::thread owner([&] {
        HWND h = CreateWindowEx(0, kRecClass, L"x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
        made.set_value(h);
        go.get_future().wait(); // never pumps, then ends
    });
    HWND h = made.get_future().get();
    std::future<LRESULT> sent =
        std::async(std::launch::async, [&] { return SendMessage(h, kPing, 0, 0); });
    EXPECT_EQ(sent.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    go.set_value();
    owner.join();
    ASSERT_EQ(sent.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(sent.get(), 0);
}

TEST_F(QueueTest, TimersFireInOrderStopWhenKilledAndRestartWithSameId) {
    HWND h = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    std::vector<WPARAM> fired;
    SetHandler(h, [&](HWND, UINT msg, WPARAM wp, LPARAM, LRESULT*) {
        if (msg == WM_TIMER)
            fired.push_back(wp);
        return msg == WM_TIMER;
    });
    ASSERT_TRUE(SetTimer(h, 3, 60, nullptr));
    ASSERT_TRUE(SetTimer(h, 1, 20, nullptr));
    ASSERT_TRUE(SetTimer(h, 2, 40, nullptr));
    // The first tick of each timer comes in the order of their periods.
    std::vector<WPARAM> first;
    ASSERT_TRUE(PumpUntil([&] {
        first.clear();
        for (WPARAM id : fired)
            if (std::find(first.begin(), first.end(), id) == first.end())
                first.push_back(id);
        return first.size() == 3;
    }));
    EXPECT_EQ(first, (std::vector<WPARAM>{1, 2, 3}));
    EXPECT_TRUE(KillTimer(h, 1));
    EXPECT_TRUE(KillTimer(h, 2));
    EXPECT_TRUE(KillTimer(h, 3));
    EXPECT_FALSE(KillTimer(h, 3));
    fired.clear();
    PumpUntil([] { return false; }, 120);
    EXPECT_TRUE(fired.empty());
    // The same id starts again.
    ASSERT_TRUE(SetTimer(h, 2, 10, nullptr));
    ASSERT_TRUE(PumpUntil([&] { return fired.size() >= 2; }));
    EXPECT_EQ(fired[0], 2u);
    KillTimer(h, 2);
}

TEST_F(QueueTest, TimerOfDestroyedWindowStops) {
    HWND h = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    ASSERT_TRUE(SetTimer(h, 9, 5, nullptr));
    DestroyWindow(h);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(CountOf(h, WM_TIMER), 0);
    EXPECT_FALSE(KillTimer(h, 9));
}

TEST_F(QueueTest, RetrievalOrderPostedBeforeQuitBeforePaintBeforeTimer) {
    HWND h = Make(0, 0, 10, 10, nullptr, WS_POPUP | WS_VISIBLE);
    PumpNow();
    SetTimer(h, 1, 1, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    InvalidateRect(h, nullptr, FALSE);
    PostQuitMessage(0);
    PostMessage(h, kSeq, 0, 0);
    MSG m;
    ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, kSeq);
    EXPECT_EQ(GetMessage(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.message, WM_QUIT);
    ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_PAINT);
    DispatchMessage(&m);
    ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_TIMER);
    KillTimer(h, 1);
}

TEST_F(QueueTest, SendReturnsZeroWhenTheWindowDiesBeforeHandlingIt) {
    std::promise<HWND> made;
    std::promise<void> destroy;
    std::promise<void> finish;
    std::thread owner([&] {
        HWND h = CreateWindowEx(0, kRecClass, L"x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
        made.set_value(h);
        destroy.get_future().wait();
        DestroyWindow(h); // without retrieving the pending send
        finish.get_future().wait();
    });
    HWND h = made.get_future().get();
    std::future<LRESULT> sent =
        std::async(std::launch::async, [&] { return SendMessage(h, kPing, 0, 0); });
    EXPECT_EQ(sent.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    destroy.set_value();
    ASSERT_EQ(sent.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(sent.get(), 0);
    EXPECT_EQ(CountOf(h, kPing), 0);
    finish.set_value();
    owner.join();
}

TEST_F(QueueTest, PeekWithoutRemovingAndFilters) {
    HWND a = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    HWND b = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    PostMessage(a, kSeq, 1, 0);
    PostMessage(b, kSeq, 2, 0);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.hwnd, a);
    // A window filter skips other windows' messages.
    ASSERT_TRUE(PeekMessage(&m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u);
    ASSERT_TRUE(PeekMessage(&m, nullptr, kSeq, kSeq, PM_REMOVE));
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_FALSE(PeekMessage(&m, nullptr, kSeq, kSeq, PM_REMOVE));
    // A filter naming a dead window is an error, not a wait.
    HWND dead = Make(0, 0, 1, 1, nullptr, WS_POPUP);
    DestroyWindow(dead);
    EXPECT_EQ(GetMessage(&m, dead, 0, 0), -1);
}

TEST_F(QueueTest, PostThreadMessageReachesThreadWithoutWindows) {
    std::promise<DWORD> tidP;
    UINT got = 0;
    std::thread t([&] {
        MSG m;
        PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE); // creates the queue
        tidP.set_value(GetCurrentThreadId());
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
                got = m.message;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    DWORD tid = tidP.get_future().get();
    EXPECT_TRUE(PostThreadMessage(tid, kSeq, 0, 0));
    t.join();
    EXPECT_EQ(got, kSeq);
}

} // namespace
