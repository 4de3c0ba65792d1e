// The installer's entry point: the whole life of the installer process.
#pragma once

#include "plat/win/winuser.h"

// Sets up the toolkit, the install context and the statistics client, sends
// the launch report, runs the start, install and finish windows as
// g_installState decides, sends the exit report and waits for the reports
// still in flight (at most kExitWaitMs, no window left on screen). Returns 1.
int wWinMain(plat::HINSTANCE hInstance, plat::HINSTANCE hPrevInstance, wchar_t* lpCmdLine,
             int nCmdShow);

namespace installer {

// Longest wait at the end for reports (and a cancelled worker) to finish.
constexpr unsigned long kExitWaitMs = 6000;

} // namespace installer
