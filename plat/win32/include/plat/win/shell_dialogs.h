// plat's Windows face: the folder chooser is shell32's, and the item lists
// it returns are freed with COM's allocator.
#pragma once

#include <string>

#include "plat/sys/wintypes.h"

// After <windows.h>, whose types they use.
#include <shlobj.h>

namespace plat {

using ::BFFCALLBACK;
using ::BROWSEINFO;
using ::CoTaskMemFree;
using ::ILFree;
using ::LPBROWSEINFO;
using ::LPCITEMIDLIST;
using ::LPITEMIDLIST;
using ::PCIDLIST_ABSOLUTE;
using ::PIDLIST_ABSOLUTE;
using ::SHBrowseForFolderW;
using ::SHGetPathFromIDListW;

// The folder path of an item list, whole (never cut at MAX_PATH); empty when
// the item is not a folder of the file system.
std::wstring SHGetPathFromIDListString(PCIDLIST_ABSOLUTE pidl);

} // namespace plat
