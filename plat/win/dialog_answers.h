// Answers for the dialogs plat draws itself (the message box and the folder
// chooser) when no person is there to answer them, and the record of the
// dialogs asked so far. A script driving a program (the automation socket)
// and tests use them; programs never need to.
//
// On a display nobody looks at (a backend that is not interactive), a
// dialog without a queued answer takes its default at once (a message box
// its first button, a folder chooser cancel), so nothing ever hangs, unless
// answers are expected from outside (SetDialogAnswersExpected): then it
// waits, handling its thread's messages, until an answer arrives.
#pragma once

#include <string>
#include <vector>

#include "plat/sys/wintypes.h"

namespace plat {

// The next message box (or the one open now) returns `id` (an ID* value).
// Answers queue up and are used in order.
void QueueMessageBoxAnswer(int id);
// The next folder chooser (or the one open now) returns `path`; nullptr
// cancels it.
void QueueFolderAnswer(const wchar_t* path);

struct MessageBoxRecord {
    std::wstring caption;
    std::wstring text;
    unsigned type = 0;
    int result = 0; // 0 while the box is open
};
// Message boxes shown so far, oldest first.
std::vector<MessageBoxRecord> MessageBoxesShown();
// Titles of the folder choosers asked so far, oldest first.
std::vector<std::wstring> FolderRequestsMade();

// Whether dialogs without an answer wait for one from outside.
void SetDialogAnswersExpected(bool expected);
bool DialogAnswersExpected();

// The window class of the folder chooser plat draws itself, for scripts and
// tests that look for it in the window list.
constexpr const wchar_t* FOLDER_CHOOSER_CLASS = L"PlatBrowseForFolder";

// Test hook: which chooser a folder request without a queued answer gets.
enum class FolderChooserMode {
    // By the display: where a person sees it, the desktop's own chooser when
    // one is installed, else the one plat draws; elsewhere the automation's
    // answer (or cancel at once).
    ByDisplay,
    // The chooser plat draws, on any display, so that tests can drive it
    // with input and read its pixels.
    Drawn,
    // As where a person sees it (desktop chooser first), on any display.
    AsInteractive,
};
void SetFolderChooserModeForTests(FolderChooserMode mode);

} // namespace plat
