// The Win32 backend's window classes and window procedure: each kind's class
// "obj_<base>" is registered once, and the procedure turns the window's
// messages into the control's messages and hooks, passing the rest to the
// system class.
#include "ui/toolkit/win32/Win32.h"

namespace {

constexpr int kKinds = 7;
// The system classes' own procedures, by kind (none for the form).
WNDPROC g_systemProc[kKinds] = {};
bool g_registered[kKinds] = {};

const wchar_t kSelfProp[] = L"SELF_";

LRESULT CallDefault(WNDPROC system, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return system ? CallWindowProcW(system, hwnd, msg, wParam, lParam)
                  : DefWindowProcW(hwnd, msg, wParam, lParam);
}

TMouseEvent MouseEventOf(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TMouseEvent m;
    POINT p{short(LOWORD(lParam)), short(HIWORD(lParam))};
    if (msg == WM_MOUSEWHEEL) {
        ScreenToClient(hwnd, &p); // the wheel reports a screen position
        m.keys = uint32_t(wParam);
    } else {
        m.keys = uint32_t(LOWORD(wParam));
    }
    if (GetKeyState(VK_MENU) < 0) m.keys |= 0x20;
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        m.button = 1;
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        m.button = 2;
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        m.button = 3;
        break;
    default:
        break;
    }
    m.x = int16_t(p.x);
    m.y = int16_t(p.y);
    return m;
}

// A child's notification, reflected to the child's control.
bool Command(HWND child, UINT code) {
    TControl* c = ControlOf(child);
    return c && Win32KindOf(c->Kind()).Command(*c, child, code);
}

LRESULT ColorMessage(TControl* parent, HWND child, HDC dc) {
    TControl* c = ControlOf(child);
    if (!c) c = ControlOf(GetParent(child)); // a combo box's edit field or list
    if (!c) c = parent;
    SetTextColor(dc, ColorRefOf(c->Font().Color));
    SetBkColor(dc, ColorRefOf(c->Color()));
    return LRESULT(BrushOf(c));
}

LRESULT ControlProc(WNDPROC system, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TControl* c = nullptr;
    if (msg == WM_NCCREATE) {
        c = static_cast<TControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (c) {
            SetPropW(hwnd, kSelfProp, c);
            c->Impl().hwnd = hwnd;
        }
    } else {
        c = ControlOf(hwnd);
    }
    if (!c) return CallDefault(system, hwnd, msg, wParam, lParam);
    TControl::TImpl& impl = c->Impl();
    if (LRESULT result = 0; Win32KindOf(c->Kind()).Message(*c, hwnd, msg, wParam, lParam, result))
        return result;
    TMessage m;
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
        if (!impl.tracking) {
            TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, hwnd, HOVER_DEFAULT};
            impl.tracking = TrackMouseEvent(&t);
        }
        c->DeliverMouse(msg, MouseEventOf(hwnd, msg, wParam, lParam));
        return CallDefault(system, hwnd, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_MOUSELEAVE:
        impl.tracking = false;
        [[fallthrough]];
    case WM_MOUSEHOVER:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        m.msg = msg;
        c->DeliverMessage(m);
        break;
    case WM_MOVE:
        if (c->Kind() == TControlKind::Form && IsWindowVisible(hwnd)) {
            RECT r;
            GetWindowRect(hwnd, &r);
            c->WindowMoved(r.left, r.top);
        }
        m.msg = msg;
        c->DeliverMessage(m);
        break;
    case WM_SIZE: {
        m.msg = msg;
        c->DeliverMessage(m);
        if (c->hooks.resized) {
            auto f = c->hooks.resized;
            f();
        }
        const LRESULT r = CallDefault(system, hwnd, msg, wParam, lParam);
        if (c->Kind() == TControlKind::Form) c->Realign();
        return r;
    }
    case WM_WINDOWPOSCHANGED:
        // Where the window is now, whoever moved it (a combo box keeps the
        // rectangle with its list, which the window system does not report).
        if (c->Kind() != TControlKind::Combo) {
            RECT r;
            GetWindowRect(hwnd, &r);
            if (c->Kind() != TControlKind::Form)
                MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
            impl.placed = r;
        }
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        return KeyMessage(c, system, false, hwnd, msg, wParam, lParam);
    case WM_COMMAND:
        if (lParam && Command(HWND(lParam), HIWORD(wParam))) return 0;
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        return ColorMessage(c, HWND(lParam), HDC(wParam));
    case WM_NCDESTROY: {
        RemovePropW(hwnd, kSelfProp);
        impl.hwnd = nullptr;
        impl.edit = nullptr;
        c->WindowDestroyed();
        return CallDefault(system, hwnd, msg, wParam, lParam);
    }
    default:
        break;
    }
    return CallDefault(system, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ControlProc(nullptr, hwnd, msg, wParam, lParam);
}

template <int K>
LRESULT CALLBACK SystemClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ControlProc(g_systemProc[K], hwnd, msg, wParam, lParam);
}

constexpr WNDPROC kProcs[kKinds] = {&FormProc,           &SystemClassProc<1>, &SystemClassProc<2>,
                                    &SystemClassProc<3>, &SystemClassProc<4>, &SystemClassProc<5>,
                                    &SystemClassProc<6>};

} // namespace

// Registers "obj_<base>" once: the form's class of its own, and for a system
// class a copy of its information with the toolkit's procedure.
std::wstring RegisteredClassOf(TControlKind kind) {
    const int k = int(kind);
    const std::wstring base = Wide(ClassNameOf(kind));
    const std::wstring name = L"obj_" + base;
    if (g_registered[k]) return name;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (kind == TControlKind::Form) {
        wc.style = CS_DBLCLKS;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    } else {
        if (!GetClassInfoExW(nullptr, base.c_str(), &wc)) return name;
        g_systemProc[k] = wc.lpfnWndProc;
        wc.style &= ~UINT(CS_GLOBALCLASS | CS_PARENTDC | CS_CLASSDC | CS_OWNDC);
    }
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = kProcs[k];
    wc.hInstance = instance;
    wc.lpszClassName = name.c_str();
    // The label and the picture box share "obj_STATIC".
    if (RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        g_registered[k] = true;
        if (kind == TControlKind::Label) g_registered[int(TControlKind::Picture)] = true;
        if (kind == TControlKind::Picture) g_registered[int(TControlKind::Label)] = true;
        if (kind == TControlKind::Label || kind == TControlKind::Picture)
            g_systemProc[int(TControlKind::Label)] = g_systemProc[int(TControlKind::Picture)] =
                g_systemProc[k];
    }
    return name;
}

TControl* ControlOf(HWND hwnd) {
    return hwnd ? static_cast<TControl*>(GetPropW(hwnd, kSelfProp)) : nullptr;
}

TControl* FormOf(TControl* c) {
    while (c->Parent())
        c = c->Parent();
    return c;
}

void Click(TControl* c) {
    if (c && c->hooks.click) {
        auto click = c->hooks.click;
        click();
    }
}

// The background brush of a control in its colour, made again when the
// colour changes.
HBRUSH BrushOf(TControl* c) {
    TControl::TImpl& impl = c->Impl();
    const COLORREF color = ColorRefOf(c->Color());
    if (!impl.brush || impl.brushColor != color) {
        if (impl.brush) DeleteObject(impl.brush);
        impl.brush = CreateSolidBrush(color);
        impl.brushColor = color;
    }
    return impl.brush;
}

void PlaceWindow(TControl::TImpl& impl, int x, int y, int w, int h) {
    // A text set many times a second (the hidden CRC field) moves nothing,
    // and each SetWindowPos is a round trip to the window system.
    const RECT r{x, y, x + w, y + h};
    if (EqualRect(&r, &impl.placed)) return;
    impl.placed = r;
    SetWindowPos(impl.hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Key routing: the form's key hooks see a key first when the control routes
// keys; then the control's own. A hook that zeroes the key swallows it (and
// the character that follows it); one that changes it makes the control see
// the new key instead.
LRESULT KeyMessage(TControl* c, WNDPROC proc, bool subclassed, HWND hwnd, UINT msg, WPARAM wParam,
                   LPARAM lParam) {
    auto pass = [&](WPARAM w) {
        return subclassed ? CallWindowProcW(proc, hwnd, msg, w, lParam)
                          : CallDefault(proc, hwnd, msg, w, lParam);
    };
    TControl::TImpl& impl = c->Impl();
    TControl* form = FormOf(c);
    const bool route = form != c && c->KeyRouting();
    if (msg == WM_CHAR) {
        if (impl.swallowChar) {
            impl.swallowChar = false;
            return 0;
        }
        const wchar_t wch = wchar_t(wParam);
        const std::string bytes = Narrow(&wch, 1);
        int ch = bytes.empty() ? 0 : uint8_t(bytes[0]);
        const int original = ch;
        if (route && form->hooks.keyChar) {
            auto f = form->hooks.keyChar;
            f(ch);
            if (ch == 0) return 0;
        }
        if (c->hooks.keyChar) {
            auto f = c->hooks.keyChar;
            f(ch);
            if (ch == 0) return 0;
        }
        if (ch != original) {
            const std::wstring w = Wide(std::string(1, char(ch)));
            return pass(WPARAM(w.empty() ? 0 : w[0]));
        }
        return pass(wParam);
    }
    const bool down = msg == WM_KEYDOWN;
    if (down) impl.swallowChar = false;
    const int vk = int(wParam);
    TMessage m;
    m.msg = down ? WM_KEYDOWN : WM_KEYUP;
    m.wParam = uintptr_t(vk);
    auto swallow = [&] {
        if (down) impl.swallowChar = true;
        return LRESULT(0);
    };
    if (c->DeliverMessage(m)) return swallow();
    auto TControlHooks::*hook = down ? &TControlHooks::keyDown : &TControlHooks::keyUp;
    int key = vk;
    if (route && form->hooks.*hook) {
        auto f = form->hooks.*hook;
        f(key);
        if (key == 0) return swallow();
    }
    if (c->hooks.*hook) {
        auto f = c->hooks.*hook;
        f(key);
    }
    if (key == 0) return swallow();
    if (down && key == VK_RETURN && form->DefaultButton() && form->DefaultButton() != c) {
        Click(form->DefaultButton());
        return swallow();
    }
    return pass(WPARAM(key));
}
