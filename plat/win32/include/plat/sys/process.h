// plat's Windows face: starting programs and documents (the shell's
// ShellExecuteEx) and waiting for processes are the system's.
#pragma once

#include "plat/sys/handle.h"
#include "plat/sys/showcmd.h"
#include "plat/sys/wintypes.h"

// After <windows.h>, whose types they use.
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace plat {

using ::LPDWORD;
using ::LPSHELLEXECUTEINFO;
using ::LPSHELLEXECUTEINFOW;
using ::SHELLEXECUTEINFO;
using ::SHELLEXECUTEINFOW;

using ::ExitProcess;
using ::GetExitCodeProcess;
using ::SHChangeNotify;
using ::ShellExecuteExW;
using ::ShellExecuteW;
using ::TerminateProcess;
using ::WaitForSingleObject;

} // namespace plat
