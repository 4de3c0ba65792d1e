// The folder chooser. Without a desktop chooser the answer comes from
// plat/win/dialog_answers.h (a queued answer, or one from outside while the
// chooser waits); there is no chooser to draw.
#include <deque>
#include <mutex>
#include <optional>
#include <set>

#include "plat/win/dialog_answers.h"
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

bool TakeAnswer(std::optional<std::wstring>* out) {
    std::lock_guard<std::mutex> g(g_folderMutex);
    if (g_folderAnswers.empty())
        return false;
    *out = g_folderAnswers.front();
    g_folderAnswers.pop_front();
    return true;
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
    if (!have && DialogAnswersExpected()) {
        // Modal: the owner is disabled while the answer is awaited; the
        // thread keeps handling its messages.
        ModalLoop loop(bi->hwndOwner ? wm::TopLevelOf(bi->hwndOwner) : nullptr);
        DWORD tid = GetCurrentThreadId();
        {
            std::lock_guard<std::mutex> g(g_folderMutex);
            g_waitingThreads.insert(tid);
        }
        loop.Run([&] { return !(have = TakeAnswer(&answer)); });
        std::lock_guard<std::mutex> g(g_folderMutex);
        g_waitingThreads.erase(tid);
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

std::vector<std::wstring> FolderRequestsMade() {
    std::lock_guard<std::mutex> g(g_folderMutex);
    return g_folderRequests;
}

} // namespace plat
