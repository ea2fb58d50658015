// Driving controls as a user would, on Win32: the messages the window
// system sends for input go to the windows through their procedures.
#include "ui/toolkit/win32/Win32.h"

#include "testing/ui/toolkit/Drive.h"

namespace {

// Input reaches neither a disabled window nor the controls of one.
bool TakesInput(HWND hwnd) {
    for (HWND w = hwnd; w; w = GetParent(w)) {
        if (!IsWindowEnabled(w)) return false;
        if (!(GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD)) break;
    }
    return hwnd != nullptr;
}

HWND KeyTarget(TControl* control) {
    HWND target = control->Impl().edit ? control->Impl().edit : control->Impl().hwnd;
    return TakesInput(control->Impl().hwnd) ? target : nullptr;
}

wchar_t CharOfKey(int vk) {
    switch (vk) {
    case VK_RETURN:
        return L'\r';
    case VK_TAB:
        return L'\t';
    case VK_SPACE:
        return L' ';
    case VK_BACK:
        return L'\b';
    case VK_ESCAPE:
        return 27;
    default:
        return 0;
    }
}

// Down, the character the key types (if any), up; Shift held as asked.
void SendKey(HWND target, int vk, wchar_t ch, bool shift) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    const BYTE oldShift = state[VK_SHIFT];
    if (shift) {
        state[VK_SHIFT] = 0x80;
        SetKeyboardState(state);
    }
    SendMessageW(target, WM_KEYDOWN, WPARAM(vk), 1);
    if (ch) SendMessageW(target, WM_CHAR, WPARAM(ch), 1);
    SendMessageW(target, WM_KEYUP, WPARAM(vk), LPARAM(0xC0000001));
    if (shift) {
        state[VK_SHIFT] = oldShift;
        SetKeyboardState(state);
    }
}

void SendClick(HWND target, int x, int y, int button) {
    const UINT down = button == 2 ? WM_RBUTTONDOWN : button == 3 ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
    const WPARAM keys = button == 2 ? MK_RBUTTON : button == 3 ? MK_MBUTTON : MK_LBUTTON;
    const LPARAM at = MAKELPARAM(x, y);
    SendMessageW(target, WM_MOUSEMOVE, 0, at);
    SendMessageW(target, down, keys, at);
    SendMessageW(target, down + 1, 0, at);
}

} // namespace

void DriveKey(TControl* control, int vk, bool shift) {
    GuiCall([&] {
        if (HWND target = KeyTarget(control)) SendKey(target, vk, CharOfKey(vk), shift);
    });
}

void DriveText(TControl* control, const std::string& text) {
    GuiCall([&] {
        HWND target = KeyTarget(control);
        if (!target) return;
        for (wchar_t ch : Wide(text)) {
            int vk = 0;
            const wchar_t up = wchar_t(towupper(ch));
            if ((up >= L'A' && up <= L'Z') || (up >= L'0' && up <= L'9')) vk = int(up);
            SendKey(target, vk, ch, false);
        }
    });
}

void DriveClick(TControl* control, int x, int y, int button) {
    GuiCall([&] {
        HWND hwnd = control->Impl().hwnd;
        if (!TakesInput(hwnd)) return;
        RECT r;
        GetClientRect(hwnd, &r);
        if (x < 0) x = r.right / 2, y = r.bottom / 2;
        SendClick(hwnd, x, y, button);
    });
}

// The window system gives a click to the window under the point, and none
// to a disabled window or its controls.
void DriveWindowClick(TControl* control, int x, int y) {
    GuiCall([&] {
        HWND hwnd = control->Impl().hwnd;
        if (!hwnd) return;
        if (!TakesInput(hwnd) || !IsWindowVisible(hwnd)) return;
        RECT r;
        GetClientRect(hwnd, &r);
        if (x < 0) x = r.right / 2, y = r.bottom / 2;
        if (GetFocus() != hwnd && GetFocus() != control->Impl().edit)
            SetFocus(control->Impl().edit ? control->Impl().edit : hwnd);
        SendClick(hwnd, x, y, 1);
    });
}

void DriveWindowKey(TControl* control, int vk) {
    GuiCall([&] {
        HWND hwnd = control->Impl().hwnd;
        if (!hwnd) return;
        HWND top = GetAncestor(hwnd, GA_ROOT);
        if (!IsWindowEnabled(top)) return;
        HWND focus = GetFocus();
        if (!focus || GetAncestor(focus, GA_ROOT) != top) return;
        SendKey(focus, vk, CharOfKey(vk), false);
    });
}

// The close request as the window receives it from its close box.
void DriveUserClose(TControl* form) {
    GuiCall([&] {
        if (HWND hwnd = form->Impl().hwnd) SendMessageW(hwnd, WM_CLOSE, 0, 0);
    });
}

void DriveMouseEnter(TControl* control) {
    GuiCall([&] {
        if (HWND hwnd = control->Impl().hwnd) SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    });
}

void DriveMouseLeave(TControl* control) {
    GuiCall([&] {
        if (HWND hwnd = control->Impl().hwnd) SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    });
}
