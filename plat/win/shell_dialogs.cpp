// The folder chooser: which one a request gets, the answers queued for it,
// and the items it hands out.
//
// A queued answer (plat/win/dialog_answers.h) is used at once. Otherwise,
// where a person sees the screen, the desktop's own chooser runs when it is
// installed, else the one plat draws (plat/win/folder_chooser.h). Where
// nobody sees it, a process expecting answers from outside waits for one,
// and any other gets cancel at once.
#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <set>

#include "plat/sys/files.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/folder_chooser.h"
#include "plat/win/modal.h"
#include "plat/win/shell_dialogs.h"
#include "plat/win/wm_internal.h"

namespace plat {

struct ITEMIDLIST_opaque {
    std::wstring path;
};

namespace {

std::mutex g_folderMutex;
std::deque<std::optional<std::wstring>> g_folderAnswers; // nullopt: cancel
std::vector<std::wstring> g_folderRequests;
std::set<DWORD> g_waitingThreads;
std::set<const void*> g_liveItems;
std::atomic<FolderChooserMode> g_chooserMode{FolderChooserMode::ByDisplay};

bool TakeAnswer(std::optional<std::wstring>* out) {
    std::lock_guard<std::mutex> g(g_folderMutex);
    if (g_folderAnswers.empty())
        return false;
    *out = g_folderAnswers.front();
    g_folderAnswers.pop_front();
    return true;
}

// Registers the calling thread as one that an answer queued from elsewhere
// must wake, for as long as it lives.
class WaitingForAnswer {
public:
    WaitingForAnswer() : m_tid(GetCurrentThreadId()) {
        std::lock_guard<std::mutex> g(g_folderMutex);
        g_waitingThreads.insert(m_tid);
    }
    ~WaitingForAnswer() {
        std::lock_guard<std::mutex> g(g_folderMutex);
        g_waitingThreads.erase(m_tid);
    }
    WaitingForAnswer(const WaitingForAnswer&) = delete;
    WaitingForAnswer& operator=(const WaitingForAnswer&) = delete;

private:
    DWORD m_tid;
};

// The folder a chooser opens in: the user's home, else the root.
std::wstring StartFolder() {
    std::wstring home = SHGetSpecialFolderPathString(CSIDL_PROFILE, false);
    if (!home.empty() && GetFileAttributes(home.c_str()) == FILE_ATTRIBUTE_DIRECTORY)
        return home;
    return L"/";
}

// A chooser a person answers: the desktop's own when wanted and installed,
// else the drawn one.
std::optional<std::wstring> AskPerson(HWND owner, const std::wstring& title, bool desktopFirst) {
    WaitingForAnswer waiting;
    std::wstring start = StartFolder();
    std::optional<std::wstring> answer;
    if (desktopFirst && wm::RunDesktopFolderChooser(owner, title, start, TakeAnswer, &answer))
        return answer;
    return wm::RunDrawnFolderChooser(owner, title, start, TakeAnswer);
}

} // namespace

PIDLIST_ABSOLUTE SHBrowseForFolder(LPBROWSEINFO bi) {
    if (!bi)
        return nullptr;
    {
        std::lock_guard<std::mutex> g(g_folderMutex);
        g_folderRequests.push_back(bi->lpszTitle ? bi->lpszTitle : L"");
    }
    std::optional<std::wstring> answer;
    bool have = TakeAnswer(&answer);
    HWND owner = bi->hwndOwner ? wm::TopLevelOf(bi->hwndOwner) : nullptr;
    const std::wstring title = bi->lpszTitle ? bi->lpszTitle : L"";
    FolderChooserMode mode = g_chooserMode;
    if (!have && mode != FolderChooserMode::ByDisplay) {
        answer = AskPerson(owner, title, mode == FolderChooserMode::AsInteractive);
        have = true;
    } else if (!have && DialogAnswersExpected()) {
        // Modal: the owner is disabled while the answer is awaited; the
        // thread keeps handling its messages.
        ModalLoop loop(owner);
        WaitingForAnswer waiting;
        loop.Run([&] { return !(have = TakeAnswer(&answer)); });
    } else if (!have && GetBackend().interactive) {
        // The desktop chooser is tried on any display: it needs no desktop
        // session, only the display a person is looking at.
        answer = AskPerson(owner, title, true);
        have = true;
    }
    if (!have || !answer || answer->empty())
        return nullptr;
    auto* item = new ITEMIDLIST_opaque{*answer};
    if (bi->pszDisplayName) {
        std::wstring name = *answer;
        while (name.size() > 1 && name.back() == L'/')
            name.pop_back();
        auto slash = name.rfind(L'/');
        if (slash != std::wstring::npos && name.size() > 1)
            name = name.substr(slash + 1);
        name = name.substr(0, MAX_PATH - 1);
        std::copy(name.begin(), name.end(), bi->pszDisplayName);
        bi->pszDisplayName[name.size()] = 0;
    }
    std::lock_guard<std::mutex> g(g_folderMutex);
    g_liveItems.insert(item);
    return item;
}

std::wstring SHGetPathFromIDListString(PCIDLIST_ABSOLUTE pidl) {
    if (!pidl)
        return std::wstring();
    std::lock_guard<std::mutex> g(g_folderMutex);
    if (!g_liveItems.count(pidl))
        return std::wstring();
    return pidl->path;
}

BOOL SHGetPathFromIDList(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath) {
    if (!pszPath)
        return FALSE;
    pszPath[0] = 0;
    const std::wstring p = SHGetPathFromIDListString(pidl);
    if (p.empty() || p.size() >= MAX_PATH)
        return FALSE;
    std::copy(p.begin(), p.end(), pszPath);
    pszPath[p.size()] = 0;
    return TRUE;
}

void CoTaskMemFree(LPVOID pv) {
    if (!pv)
        return;
    std::lock_guard<std::mutex> g(g_folderMutex);
    // Only items from SHBrowseForFolder are handed out by plat; anything
    // else is not ours to free.
    if (g_liveItems.erase(pv))
        delete static_cast<ITEMIDLIST_opaque*>(pv);
}

void ILFree(PIDLIST_ABSOLUTE pidl) {
    CoTaskMemFree(pidl);
}

void QueueFolderAnswer(const wchar_t* path) {
    std::set<DWORD> wake;
    {
        std::lock_guard<std::mutex> g(g_folderMutex);
        if (path)
            g_folderAnswers.push_back(std::wstring(path));
        else
            g_folderAnswers.push_back(std::nullopt);
        wake = g_waitingThreads;
    }
    for (DWORD tid : wake)
        PostThreadMessage(tid, WM_NULL, 0, 0);
}

void SetFolderChooserModeForTests(FolderChooserMode mode) {
    g_chooserMode = mode;
}

std::vector<std::wstring> FolderRequestsMade() {
    std::lock_guard<std::mutex> g(g_folderMutex);
    return g_folderRequests;
}

} // namespace plat
