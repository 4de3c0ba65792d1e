// Internal to plat/win: the two folder choosers SHBrowseForFolder shows
// where a person answers (plat/win/shell_dialogs.cpp decides which).
//
// Both run inside the one modal loop over `owner` (disabled meanwhile, its
// thread keeps handling messages) and end early, with that answer, when
// `takeAnswer` hands one over (an answer queued while the chooser is open;
// nullopt inside it means cancel). A WM_QUIT ends them as a cancel and is
// posted again for the loop around.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "plat/win/winuser.h"

namespace plat {
namespace wm {

using FolderAnswer = std::optional<std::wstring>; // nullopt: cancelled
using TakeFolderAnswer = std::function<bool(FolderAnswer*)>;

// The desktop's own chooser program (zenity), starting in `start`. False
// when it could not be started or failed without an answer (then the drawn
// chooser is the fall-back); true with `*answer` set otherwise.
bool RunDesktopFolderChooser(HWND owner, const std::wstring& title, const std::wstring& start,
                             const TakeFolderAnswer& takeAnswer, FolderAnswer* answer);

// The chooser plat draws, starting in `start`: the chosen folder, or nullopt
// when cancelled.
FolderAnswer RunDrawnFolderChooser(HWND owner, const std::wstring& title, const std::wstring& start,
                                   const TakeFolderAnswer& takeAnswer);

// The procedure of the drawn chooser's window class.
LRESULT FolderChooserProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

} // namespace wm
} // namespace plat
