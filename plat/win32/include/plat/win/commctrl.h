// plat's Windows face: the tooltip class and its messages are comctl32's
// (version 6 through the program's manifest).
#pragma once

#include "plat/win/winuser.h"

#include <commctrl.h>

namespace plat {

using ::InitCommonControls;
using ::INITCOMMONCONTROLSEX;
using ::InitCommonControlsEx;
using ::TTTOOLINFOW;
using TOOLINFO = ::TTTOOLINFOW;
using LPTOOLINFO = ::TTTOOLINFOW*;

} // namespace plat
