// The message dialog inside the test process on the headless screen: what
// is left when something other than its buttons ends it.
#include "windows/CommonDlg.h"

#include <gtest/gtest.h>

#include "plat/sys/files.h"
#include "ui/UIManager.h"

using namespace installer;

namespace {

// The windows of the dialog's class now on the screen or hidden.
std::vector<HWND> DialogWindows() {
    std::vector<HWND> found;
    plat::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            wchar_t cls[64] = {};
            plat::GetClassName(h, cls, 64);
            if (std::wcscmp(cls, L"CommonDlg") == 0)
                reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

TEST(CommonDlg, AQuitWhileTheQuestionIsOpenEndsItAndTakesItsWindowAlong) {
    CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr));
    WNDCLASS wc{};
    wc.lpfnWndProc = plat::DefWindowProc;
    wc.lpszClassName = L"CommonDlgTestOwner";
    plat::RegisterClass(&wc);
    HWND owner = plat::CreateWindowEx(0, L"CommonDlgTestOwner", L"owner", WS_POPUP | WS_VISIBLE,
                                      100, 100, 560, 408, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);

    plat::PostQuitMessage(3);
    int result = -1;
    AskQuit(owner, result);
    EXPECT_EQ(result, kDialogDismissed);
    // The dialog object is gone, and its window with it: nothing is left
    // that could still route a message to the deleted object.
    std::vector<HWND> left = DialogWindows();
    EXPECT_TRUE(left.empty());
    for (HWND h : left)
        plat::DestroyWindow(h);
    EXPECT_TRUE(plat::IsWindowEnabled(owner));
    // The quit is there for the enclosing loop.
    MSG msg;
    ASSERT_TRUE(plat::PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    plat::DestroyWindow(owner);
}
