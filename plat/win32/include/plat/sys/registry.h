// plat's Windows face: the registry is the system's own.
#pragma once

#include <string>

#include "plat/sys/wintypes.h"

namespace plat {

using ::LPBYTE;
using ::LPDWORD;
using ::LSTATUS;
using ::PHKEY;
using ::REGSAM;

using ::RegCloseKey;
using ::RegCreateKeyW;
using ::RegDeleteKeyW;
using ::RegDeleteValueW;
using ::RegEnumKeyW;
using ::RegEnumValueW;
using ::RegOpenKeyExW;
using ::RegOpenKeyW;
using ::RegQueryValueExW;
using ::RegSetValueExW;

// Where the values are kept, for messages.
std::string RegistryStorePath();

} // namespace plat
