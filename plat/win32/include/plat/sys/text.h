// plat's Windows face: text conversions.
//
// MultiByteToWideChar and WideCharToMultiByte are the system's (CP_ACP is
// the system's ANSI code page). plat's convenience forms convert whole
// strings: UTF-8 with invalid input as U+FFFD (a character outside the
// Basic Multilingual Plane is one surrogate pair in wide text and one
// four-byte sequence in UTF-8), and the narrow form of file paths, which is
// UTF-8 as on Linux (plat/win32/text.cpp says why).
#pragma once

#include <string>
#include <string_view>

#include "plat/sys/wintypes.h"

namespace plat {

using ::MultiByteToWideChar;
using ::WideCharToMultiByte;

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

std::string WideToChsMultiByte(std::wstring_view text);
std::wstring ChsMultiByteToWide(std::string_view text);

} // namespace plat
