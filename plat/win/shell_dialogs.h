// The shell's folder chooser.
//
// SHBrowseForFolder shows a modal folder chooser owned by bi->hwndOwner and
// returns an item list for the folder the user confirmed, or nullptr when the
// user cancelled. SHGetPathFromIDList turns the item into a file-system path.
// The returned item is freed with CoTaskMemFree (or ILFree).
//
// Which chooser answers:
//   - an answer queued with QueueFolderAnswer() (plat/win/dialog_answers.h;
//     the automation socket's "answer folder PATH" or "answer folder
//     cancel") is used at once;
//   - where a person sees the screen (an interactive backend), the
//     desktop's own chooser (`zenity`) when it is installed, else a small
//     chooser plat draws; both open in the user's home folder, run modally
//     over the owner, and give way to an answer queued while they are open;
//   - where nobody sees it, a process that expects answers from outside
//     (SetDialogAnswersExpected) waits (handling its messages) until an
//     answer arrives, and any other process gets the cancel result at once,
//     so nothing ever hangs.
// The chosen path is kept whole however long it is
// (SHGetPathFromIDListString).
#pragma once

#include <string>

#include "plat/sys/wintypes.h"

namespace plat {

struct ITEMIDLIST_opaque;
using PIDLIST_ABSOLUTE = ITEMIDLIST_opaque*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST_opaque*;
using LPITEMIDLIST = PIDLIST_ABSOLUTE;
using LPCITEMIDLIST = PCIDLIST_ABSOLUTE;

using BFFCALLBACK = int (*)(HWND hwnd, UINT uMsg, LPARAM lParam, LPARAM lpData);

// BROWSEINFO flags (only recorded; the chooser always returns folders).
constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_DONTGOBELOWDOMAIN = 0x0002;
constexpr UINT BIF_EDITBOX = 0x0010;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
constexpr UINT BIF_USENEWUI = 0x0050;

struct BROWSEINFO {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot; // nullptr: the whole file system
    LPWSTR pszDisplayName;      // receives the folder's display name (MAX_PATH characters)
    LPCWSTR lpszTitle;          // text shown above the folder tree
    UINT ulFlags;
    BFFCALLBACK lpfn; // not called
    LPARAM lParam;
    int iImage;
};
using LPBROWSEINFO = BROWSEINFO*;

// Shows the chooser modally; nullptr when cancelled (or bi is nullptr).
PIDLIST_ABSOLUTE SHBrowseForFolder(LPBROWSEINFO bi);

// Copies the folder's path (at most MAX_PATH characters including the
// terminator) to pszPath. FALSE, with pszPath set to "", when pidl is null or
// has no file-system path or the path does not fit.
BOOL SHGetPathFromIDList(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath);
// The folder's whole path however long it is; empty when pidl is null or has
// no file-system path.
std::wstring SHGetPathFromIDListString(PCIDLIST_ABSOLUTE pidl);

// Frees an item returned by SHBrowseForFolder; null is allowed.
void CoTaskMemFree(LPVOID pv);
void ILFree(PIDLIST_ABSOLUTE pidl);

} // namespace plat
