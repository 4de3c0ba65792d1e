// The process entry of TarvexPDFConverInst: the installer takes no
// command-line arguments.
#include "plat/sys/files.h"
#include "windows/InstallerMain.h"

int main() {
    wchar_t noArguments[] = L"";
    return wWinMain(plat::GetModuleHandle(nullptr), nullptr, noArguments, plat::SW_SHOWDEFAULT);
}
