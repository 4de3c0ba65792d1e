// The one modal message loop. Every modal window runs in it: the message
// box, the folder chooser and the toolkit's ShowModal.
//
// A modal loop disables its owner while it runs, hands the owner back
// (enabled again and with the keyboard focus) when it ends, and treats a quit
// request as the end of this loop and of every enclosing one: WM_QUIT ends
// the loop and is posted again, with the same exit code, for the loop
// around it.
#pragma once

#include <functional>

#include "plat/win/winuser.h"

namespace plat {

class ModalLoop {
public:
    // Disables `owner` (may be null) for the loop. Only an owner that was
    // enabled is disabled and, later, enabled again, so that nested modal
    // loops on one owner leave it as the outer loop expects.
    explicit ModalLoop(HWND owner);
    // Hands the owner back if that has not happened yet.
    ~ModalLoop();
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;

    // Retrieves and dispatches the messages of every window of the thread
    // while `keepRunning()` holds (it is asked before each retrieval). Each
    // message is shown to `filter` first, when given; a filter returning
    // true consumes it (it is neither translated nor dispatched). Returns
    // false when WM_QUIT ended the loop (the quit is posted again).
    bool Run(const std::function<bool()>& keepRunning,
             const std::function<bool(const MSG&)>& filter = {});

    // Enables the owner again (when the loop disabled it) and gives it the
    // keyboard focus. Safe to call more than once; the focus is given each
    // time, the owner is enabled once.
    void ReleaseOwner();

    HWND Owner() const { return m_owner; }
    // The exit code of the WM_QUIT that ended the loop.
    int QuitCode() const { return m_quitCode; }

private:
    HWND m_owner;
    bool m_disabled = false;
    bool m_released = false;
    int m_quitCode = 0;
};

} // namespace plat
