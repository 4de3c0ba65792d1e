// Per-thread message queues: posting, cross-thread sending, retrieval in the
// fixed order (sent, posted, input, quit, paint, timer), timers and waiting.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <sys/syscall.h>
#include <unistd.h>

#include "plat/gfx/gdi.h"
#include "plat/sys/clock.h"
#include "plat/win/observe.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

namespace {

// Holds the calling thread's queue; when the thread ends, the queue is
// marked dead, waiting senders are released with 0 and the thread's windows
// disappear without further messages (the thread can no longer run them).
struct QueueHolder {
    std::shared_ptr<ThreadQueue> q;
    ~QueueHolder() {
        if (!q)
            return;
        std::deque<std::shared_ptr<SentMessage>> pending;
        {
            std::lock_guard<std::mutex> g(q->m);
            q->alive = false;
            pending.swap(q->sent);
            q->posted.clear();
            q->timers.clear();
        }
        for (auto& sm : pending) {
            std::lock_guard<std::mutex> g(sm->sender->m);
            sm->done = true;
            sm->result = 0;
            sm->sender->Wake();
        }
        auto& st = S();
        std::vector<HWND> mine;
        {
            Lock lk(st.mu);
            for (auto& [h, w] : st.windows)
                if (w->queue == q)
                    mine.push_back(h);
        }
        for (HWND h : mine)
            ForgetWindow(h);
        Lock lk(st.mu);
        if (st.inputQueue == q)
            st.inputQueue = nullptr;
        RestackLocked();
    }
};

thread_local QueueHolder t_queue;

// The main thread's holder is made while the program starts, before any
// other thread exists. The first use of a thread_local with a destructor
// registers that destructor through __cxa_thread_atexit, which takes the
// dynamic loader's lock; made later, the first window would wait for any
// dlopen running meanwhile on another thread (such as libcurl being loaded
// for a report).
[[maybe_unused]] const QueueHolder* const g_mainThreadQueueHolder = &t_queue;

std::mutex g_registryMutex;
std::map<DWORD, std::weak_ptr<ThreadQueue>>& Registry() {
    static auto* m = new std::map<DWORD, std::weak_ptr<ThreadQueue>>;
    return *m;
}

std::atomic<uint64_t> g_msgCounter{0};

// What AdvanceWindowClock added to the monotonic clock.
std::atomic<uint64_t> g_clockAdvance{0};

bool InFilter(UINT msg, UINT lo, UINT hi) {
    if (lo == 0 && hi == 0)
        return true;
    return msg >= lo && msg <= hi;
}

bool HwndMatches(HWND filter, HWND hwnd) {
    if (!filter)
        return true;
    if (filter == reinterpret_cast<HWND>(-1))
        return hwnd == nullptr;
    return filter == hwnd || IsChild(filter, hwnd);
}

DWORD MsgTime() {
    return GetTickCount();
}

} // namespace

uint64_t NowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()) +
           g_clockAdvance.load();
}

DWORD CurrentTid() {
    return static_cast<DWORD>(syscall(SYS_gettid));
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (!t_queue.q) {
        t_queue.q = std::make_shared<ThreadQueue>();
        t_queue.q->tid = CurrentTid();
        std::lock_guard<std::mutex> g(g_registryMutex);
        Registry()[t_queue.q->tid] = t_queue.q;
    }
    return t_queue.q;
}

void ThreadQueue::Wake() {
    wakePending = true;
    idle = false;
    if (isInput)
        GetBackend().wake();
    cv.notify_all();
}

void RunSentMessages(const std::shared_ptr<ThreadQueue>& q) {
    for (;;) {
        std::shared_ptr<SentMessage> sm;
        {
            std::lock_guard<std::mutex> g(q->m);
            if (q->sent.empty())
                return;
            sm = q->sent.front();
            q->sent.pop_front();
        }
        LRESULT r = 0;
        if (IsWindow(sm->hwnd)) {
            q->inSend++;
            r = CallProc(sm->hwnd, sm->msg, sm->wParam, sm->lParam);
            q->inSend--;
        }
        {
            std::lock_guard<std::mutex> g(sm->sender->m);
            sm->result = r;
            sm->done = true;
            sm->sender->Wake();
        }
        Lock lk(S().mu);
        S().generation++;
    }
}

namespace {

// Next time-out in ms for the calling thread's wait: the nearest timer or
// hover deadline; -1 when there is none.
int NextWaitMs(const std::shared_ptr<ThreadQueue>& q, uint64_t now) {
    uint64_t due = 0;
    {
        std::lock_guard<std::mutex> g(q->m);
        for (auto& t : q->timers)
            if (!due || t.due < due)
                due = t.due;
    }
    if (q->isInput) {
        uint64_t h = NextHoverDue();
        if (h && (!due || h < due))
            due = h;
    }
    if (!due)
        return -1;
    if (due <= now)
        return 0;
    return static_cast<int>(std::min<uint64_t>(due - now, 1u << 30));
}

bool HasRawInput() {
    auto& st = S();
    Lock lk(st.mu);
    return !st.raw.empty();
}

// Waits until something may have arrived for this thread.
void WaitForWork(const std::shared_ptr<ThreadQueue>& q) {
    uint64_t now = NowMs();
    int timeout = NextWaitMs(q, now);
    if (q->isInput) {
        {
            std::lock_guard<std::mutex> g(q->m);
            if (q->wakePending || !q->sent.empty() || !q->posted.empty()) {
                q->wakePending = false;
                return;
            }
            q->idle = true;
        }
        if (HasRawInput()) {
            std::lock_guard<std::mutex> g(q->m);
            q->idle = false;
            return;
        }
        GetBackend().wait_events(timeout);
        std::lock_guard<std::mutex> g(q->m);
        q->wakePending = false;
        q->idle = false;
        return;
    }
    std::unique_lock<std::mutex> g(q->m);
    if (q->wakePending || !q->sent.empty() || !q->posted.empty()) {
        q->wakePending = false;
        return;
    }
    q->idle = true;
    if (timeout < 0)
        q->cv.wait(g, [&] { return q->wakePending; });
    else
        q->cv.wait_for(g, std::chrono::milliseconds(timeout), [&] { return q->wakePending; });
    q->wakePending = false;
    q->idle = false;
}

bool TakePosted(const std::shared_ptr<ThreadQueue>& q, HWND filter, UINT lo, UINT hi, bool remove,
                MSG* out) {
    std::lock_guard<std::mutex> g(q->m);
    for (auto it = q->posted.begin(); it != q->posted.end();) {
        // A message for a window destroyed since it was posted is dropped.
        if (it->hwnd && !IsWindow(it->hwnd)) {
            it = q->posted.erase(it);
            continue;
        }
        if (HwndMatches(filter, it->hwnd) && InFilter(it->message, lo, hi)) {
            *out = *it;
            if (remove)
                q->posted.erase(it);
            return true;
        }
        ++it;
    }
    return false;
}

bool TakeTimer(const std::shared_ptr<ThreadQueue>& q, HWND filter, bool remove, MSG* out) {
    uint64_t now = NowMs();
    std::lock_guard<std::mutex> g(q->m);
    Timer* best = nullptr;
    for (auto& t : q->timers) {
        if (t.due > now || !HwndMatches(filter, t.hwnd))
            continue;
        if (!best || t.due < best->due || (t.due == best->due && t.seq < best->seq))
            best = &t;
    }
    if (!best)
        return false;
    out->hwnd = best->hwnd;
    out->message = best->system ? WM_SYSTIMER : WM_TIMER;
    out->wParam = best->id;
    out->lParam = reinterpret_cast<LPARAM>(best->proc);
    if (remove) {
        // The next tick counts from now, so a slow handler never causes a burst.
        best->due = now + std::max<UINT>(best->elapse, 1);
        best->seq = ++q->timerSeq;
    }
    return true;
}

// One attempt to find a message, without waiting.
// When the input thread has ended, the next thread with windows that asks
// for messages takes over routing input.
void ClaimInputIfOrphaned(const std::shared_ptr<ThreadQueue>& q) {
    if (q->isInput)
        return;
    auto& st = S();
    bool claim = false;
    {
        Lock lk(st.mu);
        if (st.inputQueue)
            return;
        for (auto& [h, w] : st.windows)
            if (w->queue == q) {
                claim = true;
                break;
            }
        if (claim)
            st.inputQueue = q;
    }
    if (claim) {
        std::lock_guard<std::mutex> g(q->m);
        q->isInput = true;
    }
}

bool TryGetMessage(const std::shared_ptr<ThreadQueue>& q, MSG* msg, HWND hwnd, UINT lo, UINT hi,
                   bool remove) {
    ClaimInputIfOrphaned(q);
    RunSentMessages(q);
    if (TakePosted(q, hwnd, lo, hi, remove, msg))
        return true;
    if (q->isInput) {
        CheckHover(NowMs());
        if (TakePosted(q, hwnd, lo, hi, remove, msg))
            return true;
        // Raw input is routed one event at a time; what it produces for this
        // thread comes back as a message, anything else was posted.
        while (HasRawInput()) {
            MSG routed{};
            if (RouteOneRawEvent(q, &routed)) {
                if (HwndMatches(hwnd, routed.hwnd) && InFilter(routed.message, lo, hi)) {
                    if (!remove) {
                        std::lock_guard<std::mutex> g(q->m);
                        q->posted.push_front(routed);
                    }
                    *msg = routed;
                    return true;
                }
                std::lock_guard<std::mutex> g(q->m);
                q->posted.push_back(routed);
            }
            RunSentMessages(q);
            if (TakePosted(q, hwnd, lo, hi, remove, msg))
                return true;
        }
    }
    {
        std::lock_guard<std::mutex> g(q->m);
        bool postedLeft = false;
        for (auto& m : q->posted)
            if (!m.hwnd || IsWindow(m.hwnd))
                postedLeft = true;
        if (q->quit && !postedLeft && InFilter(WM_QUIT, lo, hi)) {
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(q->quitCode);
            if (remove)
                q->quit = false;
            return true;
        }
    }
    if (InFilter(WM_PAINT, lo, hi) && FindPaintWindow(q, hwnd, msg))
        return true;
    if (InFilter(WM_TIMER, lo, hi) && TakeTimer(q, hwnd, remove, msg))
        return true;
    return false;
}

void Stamp(const std::shared_ptr<ThreadQueue>& q, MSG* msg) {
    msg->time = MsgTime();
    auto& st = S();
    {
        Lock lk(st.mu);
        msg->pt = st.cursor;
        st.generation++;
    }
    q->msgTime = msg->time;
    g_msgCounter++;
    std::lock_guard<std::mutex> g(q->m);
    q->idle = false; // a message is being handled
}

} // namespace

} // namespace wm

using namespace wm;

BOOL GetMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg)
        return -1;
    if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    auto q = CurrentQueue();
    for (;;) {
        if (TryGetMessage(q, msg, hwnd, filterMin, filterMax, true)) {
            Stamp(q, msg);
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        WaitForWork(q);
    }
}

BOOL PeekMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg)
        return FALSE;
    auto q = CurrentQueue();
    if (TryGetMessage(q, msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) {
        Stamp(q, msg);
        return TRUE;
    }
    // Finding nothing after handling what came before counts as idle, as
    // blocking in GetMessage does, for loops that poll.
    if (!hwnd && !filterMin && !filterMax) {
        std::lock_guard<std::mutex> g(q->m);
        if (q->posted.empty() && q->sent.empty()) {
            // Any wake-up so far is answered by this look: nothing is there.
            q->wakePending = false;
            q->idle = true;
        }
    }
    return FALSE;
}

BOOL WaitMessage() {
    auto q = CurrentQueue();
    RunSentMessages(q);
    WaitForWork(q);
    return TRUE;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg)
        return 0;
    if ((msg->message == WM_TIMER || msg->message == WM_SYSTIMER) && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, msg->message, msg->wParam, msg->time);
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    if (!IsWindow(msg->hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    auto w = Find(msg->hwnd);
    if (w && w->queue->tid != CurrentTid()) {
        SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
        return 0;
    }
    return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

std::vector<DesktopPostRecord> DesktopPosts() {
    auto& st = S();
    Lock lk(st.mu);
    return st.desktopPosts;
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd)
        return PostThreadMessage(CurrentTid(), msg, wParam, lParam);
    std::shared_ptr<ThreadQueue> q;
    {
        auto& st = S();
        Lock lk(st.mu);
        if (hwnd == st.desktop && hwnd) {
            // The desktop takes and ignores posts; the last few are kept so
            // that a program's requests to it can be checked.
            if (st.desktopPosts.size() >= 64)
                st.desktopPosts.erase(st.desktopPosts.begin());
            st.desktopPosts.push_back(DesktopPostRecord{msg, wParam, lParam});
            return TRUE;
        }
        Wnd* w = FindLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        q = w->queue;
    }
    std::lock_guard<std::mutex> g(q->m);
    if (!q->alive)
        return FALSE;
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    q->posted.push_back(m);
    q->Wake();
    return TRUE;
}

namespace wm {
std::shared_ptr<ThreadQueue> FindQueueByTid(DWORD tid);
}

BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> q;
    if (threadId == CurrentTid())
        q = CurrentQueue();
    else
        q = FindQueueByTid(threadId);
    if (!q) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> g(q->m);
    if (!q->alive)
        return FALSE;
    MSG m{};
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    q->posted.push_back(m);
    q->Wake();
    return TRUE;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> target;
    {
        LockedWnd w(hwnd);
        if (!w)
            return 0;
        target = w->queue;
    }
    auto me = CurrentQueue();
    if (target == me)
        return CallProc(hwnd, msg, wParam, lParam);

    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    sm->msg = msg;
    sm->wParam = wParam;
    sm->lParam = lParam;
    sm->sender = me;
    {
        std::lock_guard<std::mutex> g(target->m);
        if (!target->alive)
            return 0;
        target->sent.push_back(sm);
        target->Wake();
    }
    // While blocked, run what other threads send to us, so that two threads
    // sending to each other never deadlock.
    for (;;) {
        RunSentMessages(me);
        std::unique_lock<std::mutex> g(me->m);
        if (sm->done)
            return sm->result;
        if (!me->sent.empty())
            continue;
        me->cv.wait_for(g, std::chrono::milliseconds(200),
                        [&] { return sm->done || !me->sent.empty(); });
        if (sm->done)
            return sm->result;
        g.unlock();
        // The window (or its thread) may have gone while we waited.
        if (!IsWindow(hwnd)) {
            std::lock_guard<std::mutex> tg(target->m);
            auto it = std::find(target->sent.begin(), target->sent.end(), sm);
            if (it != target->sent.end()) {
                target->sent.erase(it);
                return 0;
            }
        }
    }
}

BOOL InSendMessage() {
    return CurrentQueue()->inSend > 0;
}

DWORD GetMessageTime() {
    return CurrentQueue()->msgTime;
}

void PostQuitMessage(int exitCode) {
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> g(q->m);
    q->quit = true;
    q->quitCode = exitCode;
    q->Wake();
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    std::shared_ptr<ThreadQueue> q;
    if (hwnd) {
        auto w = Find(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->queue->tid != CurrentTid()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
        q = w->queue;
    } else {
        q = CurrentQueue();
    }
    elapse = std::max<UINT>(elapse, 1);
    std::lock_guard<std::mutex> g(q->m);
    if (!hwnd) {
        // Thread timers get a fresh id unless an existing one is replaced.
        bool exists = false;
        for (auto& t : q->timers)
            if (!t.hwnd && t.id == id && !t.system)
                exists = true;
        if (!exists)
            id = q->nextThreadTimerId++;
    }
    for (auto& t : q->timers) {
        if (t.hwnd == hwnd && t.id == id && !t.system) {
            t.elapse = elapse;
            t.proc = proc;
            t.due = NowMs() + elapse;
            t.seq = ++q->timerSeq;
            q->Wake();
            return hwnd ? 1 : id;
        }
    }
    Timer t;
    t.hwnd = hwnd;
    t.id = id;
    t.elapse = elapse;
    t.proc = proc;
    t.due = NowMs() + elapse;
    t.seq = ++q->timerSeq;
    q->timers.push_back(t);
    q->Wake();
    return hwnd ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::shared_ptr<ThreadQueue> q;
    if (hwnd) {
        auto w = Find(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        q = w->queue;
    } else {
        q = CurrentQueue();
    }
    std::lock_guard<std::mutex> g(q->m);
    auto it = std::find_if(q->timers.begin(), q->timers.end(), [&](const Timer& t) {
        return t.hwnd == hwnd && t.id == id && !t.system;
    });
    if (it == q->timers.end())
        return FALSE;
    q->timers.erase(it);
    // A WM_TIMER already taken from the queue is not called back.
    return TRUE;
}

namespace wm {

void SetSystemTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    auto w = Find(hwnd);
    if (!w)
        return;
    auto q = w->queue;
    std::lock_guard<std::mutex> g(q->m);
    elapse = std::max<UINT>(elapse, 1);
    auto it = std::find_if(q->timers.begin(), q->timers.end(), [&](const Timer& t) {
        return t.hwnd == hwnd && t.id == id && t.system;
    });
    if (it == q->timers.end()) {
        q->timers.emplace_back();
        it = q->timers.end() - 1;
    }
    it->hwnd = hwnd;
    it->id = id;
    it->elapse = elapse;
    it->proc = proc;
    it->system = true;
    it->due = NowMs() + elapse;
    it->seq = ++q->timerSeq;
    q->Wake();
}

void KillSystemTimer(HWND hwnd, UINT_PTR id) {
    auto w = Find(hwnd);
    if (!w)
        return;
    auto q = w->queue;
    std::lock_guard<std::mutex> g(q->m);
    q->timers.erase(
        std::remove_if(q->timers.begin(), q->timers.end(),
                       [&](const Timer& t) { return t.hwnd == hwnd && t.id == id && t.system; }),
        q->timers.end());
}

} // namespace wm

namespace wm {

std::shared_ptr<ThreadQueue> FindQueueByTid(DWORD tid) {
    std::lock_guard<std::mutex> g(g_registryMutex);
    auto it = Registry().find(tid);
    return it == Registry().end() ? nullptr : it->second.lock();
}

} // namespace wm

void AdvanceWindowClock(DWORD ms) {
    wm::g_clockAdvance += ms;
    // Every waiting thread looks at its timers again.
    std::vector<std::shared_ptr<ThreadQueue>> queues;
    {
        std::lock_guard<std::mutex> g(wm::g_registryMutex);
        for (auto& [tid, weak] : wm::Registry())
            if (auto q = weak.lock())
                queues.push_back(q);
    }
    for (auto& q : queues) {
        std::lock_guard<std::mutex> g(q->m);
        q->Wake();
    }
}

// True when the input thread is blocked waiting with no raw input left:
// everything injected so far has been routed and handled, and every visible
// window of that thread has been painted.
bool WindowSystemIdle() {
    auto& st = S();
    std::shared_ptr<ThreadQueue> q;
    {
        Lock lk(st.mu);
        if (!st.raw.empty())
            return false;
        q = st.inputQueue;
    }
    if (!q)
        return true;
    {
        std::lock_guard<std::mutex> g(q->m);
        if (!q->idle || !q->posted.empty() || !q->sent.empty())
            return false;
    }
    // The idle mark left by a PeekMessage that found nothing stays while the
    // thread goes on running; a window it has shown or invalidated since
    // still owes a paint, so the thread is not done yet.
    MSG paint{};
    return !FindPaintWindow(q, nullptr, &paint);
}

} // namespace plat
