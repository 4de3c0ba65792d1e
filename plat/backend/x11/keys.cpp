// X key symbols to virtual-key codes and typed text.
//
// The virtual-key code comes from the key's symbol without modifiers (the
// "1" key is '1' whether Shift is held or not), except on the keypad, where
// Num Lock decides between digits and movement keys. The text is what the
// keyboard layout types with the modifiers held, so that TranslateMessage
// makes the layout's character, not the US one.
#include <xkbcommon/xkbcommon.h>

#include "plat/backend/x11/x11_internal.h"
#include "plat/win/winuser.h"

#include <X11/keysym.h>

namespace plat {
namespace x11 {

namespace {

UINT KeypadKey(unsigned long ks) {
    if (ks >= XK_KP_0 && ks <= XK_KP_9)
        return static_cast<UINT>(VK_NUMPAD0 + (ks - XK_KP_0));
    switch (ks) {
    case XK_KP_Decimal:
    case XK_KP_Separator:
        return VK_DECIMAL;
    case XK_KP_Add:
        return VK_ADD;
    case XK_KP_Subtract:
        return VK_SUBTRACT;
    case XK_KP_Multiply:
        return VK_MULTIPLY;
    case XK_KP_Divide:
        return VK_DIVIDE;
    case XK_KP_Enter:
        return VK_RETURN;
    case XK_KP_Home:
        return VK_HOME;
    case XK_KP_End:
        return VK_END;
    case XK_KP_Left:
        return VK_LEFT;
    case XK_KP_Right:
        return VK_RIGHT;
    case XK_KP_Up:
        return VK_UP;
    case XK_KP_Down:
        return VK_DOWN;
    case XK_KP_Prior:
        return VK_PRIOR;
    case XK_KP_Next:
        return VK_NEXT;
    case XK_KP_Insert:
        return VK_INSERT;
    case XK_KP_Delete:
        return VK_DELETE;
    case XK_KP_Begin:
        return VK_CLEAR;
    default:
        return 0;
    }
}

} // namespace

UINT VirtualKeyForKeysym(unsigned long base, unsigned long effective) {
    if (effective >= XK_KP_Space && effective <= XK_KP_9)
        return KeypadKey(effective);
    if (base >= XK_a && base <= XK_z)
        return static_cast<UINT>('A' + (base - XK_a));
    if (base >= XK_A && base <= XK_Z)
        return static_cast<UINT>(base);
    if (base >= XK_0 && base <= XK_9)
        return static_cast<UINT>(base);
    if (base >= XK_F1 && base <= XK_F24)
        return static_cast<UINT>(VK_F1 + (base - XK_F1));
    switch (base) {
    case XK_Return:
        return VK_RETURN;
    case XK_Escape:
        return VK_ESCAPE;
    case XK_BackSpace:
        return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return VK_TAB;
    case XK_space:
        return VK_SPACE;
    case XK_Left:
        return VK_LEFT;
    case XK_Right:
        return VK_RIGHT;
    case XK_Up:
        return VK_UP;
    case XK_Down:
        return VK_DOWN;
    case XK_Home:
        return VK_HOME;
    case XK_End:
        return VK_END;
    case XK_Prior:
        return VK_PRIOR;
    case XK_Next:
        return VK_NEXT;
    case XK_Insert:
        return VK_INSERT;
    case XK_Delete:
        return VK_DELETE;
    // Modifiers arrive as the generic codes, as WM_KEYDOWN carries them.
    case XK_Shift_L:
    case XK_Shift_R:
        return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
        return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return VK_MENU;
    case XK_Super_L:
        return VK_LWIN;
    case XK_Super_R:
        return VK_RWIN;
    case XK_Menu:
        return VK_APPS;
    case XK_Caps_Lock:
        return VK_CAPITAL;
    case XK_Num_Lock:
        return VK_NUMLOCK;
    case XK_Scroll_Lock:
        return VK_SCROLL;
    case XK_Pause:
        return VK_PAUSE;
    case XK_Print:
        return VK_SNAPSHOT;
    case XK_semicolon:
        return VK_OEM_1;
    case XK_equal:
        return VK_OEM_PLUS;
    case XK_comma:
        return VK_OEM_COMMA;
    case XK_minus:
        return VK_OEM_MINUS;
    case XK_period:
        return VK_OEM_PERIOD;
    case XK_slash:
        return VK_OEM_2;
    case XK_grave:
        return VK_OEM_3;
    case XK_bracketleft:
        return VK_OEM_4;
    case XK_backslash:
        return VK_OEM_5;
    case XK_bracketright:
        return VK_OEM_6;
    case XK_apostrophe:
        return VK_OEM_7;
    case XK_less:
        return VK_OEM_102;
    default:
        return 0;
    }
}

std::wstring TextForKeysym(unsigned long effective, bool ctrl, unsigned char ctrlByte) {
    if (ctrl)
        return ctrlByte ? std::wstring(1, static_cast<wchar_t>(ctrlByte)) : std::wstring();
    uint32_t u = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(effective));
    // Of the control characters only these are typed (as Win32 types
    // them); Delete types nothing.
    if (u == 0 || u == 0x7F || (u < 0x20 && u != 0x08 && u != 0x09 && u != 0x0D && u != 0x1B))
        return std::wstring();
    return std::wstring(1, static_cast<wchar_t>(u));
}

} // namespace x11
} // namespace plat
