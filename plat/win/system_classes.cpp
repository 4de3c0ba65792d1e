// The window classes plat provides itself, registered once as system
// classes: the tooltip, the message box and the drawn folder chooser.
#include <mutex>

#include "plat/win/commctrl.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/folder_chooser.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

void EnsureSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEX wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS | CS_SAVEBITS;
        wc.lpfnWndProc = TooltipProc;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = TOOLTIPS_CLASS;
        RegisterSystemClass(wc);
        wc.style = 0;
        wc.lpfnWndProc = MessageBoxProc;
        wc.lpszClassName = L"#32770";
        RegisterSystemClass(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = FolderChooserProc;
        wc.lpszClassName = FOLDER_CHOOSER_CLASS;
        RegisterSystemClass(wc);
    });
}

} // namespace wm
} // namespace plat
