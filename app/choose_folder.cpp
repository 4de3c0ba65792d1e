// ChooseFolder: the folder chooser of the start window.
#include "app/install_context.h"
#include "app/system_queries.h"
#include "plat/win/shell_dialogs.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

bool ChooseFolder(plat::HWND owner) {
    wchar_t displayName[MAX_PATH] = {};
    plat::BROWSEINFO info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"选择一个文件夹";
    info.ulFlags = 0;
    info.lpfn = nullptr;
    plat::PIDLIST_ABSOLUTE item = plat::SHBrowseForFolder(&info);
    if (item == nullptr)
        return false;
    // The whole path, however long: a pick is never refused or cut short
    // for its length.
    std::wstring path = plat::SHGetPathFromIDListString(item);
    plat::CoTaskMemFree(item);
    if (path.empty())
        return false;
    g_installFolder = path;
    return true;
}
