// The process entry of TarvexPDFConverInst: the installer takes no
// command-line arguments.
#include "plat/sys/files.h"
#include "windows/InstallerMain.h"

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

int main() {
    wchar_t noArguments[] = L"";
    return wWinMain(plat::GetModuleHandle(nullptr), nullptr, noArguments, SW_SHOWDEFAULT);
}
