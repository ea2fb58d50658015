// The Win32 backend of the control object: a window of the registered
// class "obj_<base>" renders the state; the window procedure turns the
// window's messages into the control's messages and hooks.
#include "ui/toolkit/win32/Win32.h"

#include "ui/toolkit/Png.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kKinds = 7;
// The system classes' own procedures, by kind (none for the form).
WNDPROC g_systemProc[kKinds] = {};
bool g_registered[kKinds] = {};

const wchar_t kSelfProp[] = L"SELF_";
const wchar_t kPrevProcProp[] = L"PREV_PROC";

template <class R, class F> R OnGui(F&& fn, R def) {
    R result = def;
    GuiCall([&] { result = fn(); });
    return result;
}

LRESULT CallDefault(WNDPROC system, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return system ? CallWindowProcW(system, hwnd, msg, wParam, lParam)
                  : DefWindowProcW(hwnd, msg, wParam, lParam);
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

int ItemCountOf(HWND combo) {
    return int(SendMessageW(combo, CB_GETCOUNT, 0, 0));
}

std::string ItemTextOf(HWND combo, int index) {
    const LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(index), 0);
    if (n == CB_ERR) return {};
    std::vector<wchar_t> buf(std::size_t(n) + 1);
    const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, WPARAM(index), LPARAM(buf.data()));
    return got == CB_ERR ? std::string() : Narrow(buf.data(), std::size_t(got));
}

// The height of a combo box's window with its list open: the list shows at
// most eight items, each as high as the closed box.
int OpenComboHeight(HWND combo, int closed) {
    return closed * (std::clamp(ItemCountOf(combo), 1, 8) + 1) + 2;
}

// The text a combo box shows: the edit field's, or the selected item's.
std::string ComboTextOf(HWND combo) {
    return WindowTextOf(combo);
}

// A control that is disabled or hidden while it has the focus leaves the
// focus with its form.
void FocusToForm(TControl& c) {
    HWND hwnd = c.Impl().hwnd;
    if (!hwnd || c.Kind() == TControlKind::Form) return;
    HWND focus = GetFocus();
    if (focus && (focus == hwnd || IsChild(hwnd, focus)))
        if (HWND form = FormOf(&c)->Impl().hwnd) SetFocus(form);
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
    if (!c) return false;
    switch (c->Kind()) {
    case TControlKind::Button:
        if (code != BN_CLICKED) return false;
        Click(c);
        return true;
    case TControlKind::Label:
    case TControlKind::Picture:
        if (code != STN_CLICKED) return false;
        Click(c);
        return true;
    case TControlKind::Edit:
        if (code != EN_CHANGE) return false;
        c->TextChangedByWindow(WindowTextOf(child));
        return true;
    case TControlKind::Combo:
        switch (code) {
        case CBN_SELCHANGE: {
            const int sel = int(SendMessageW(child, CB_GETCURSEL, 0, 0));
            c->TextChangedByWindow(sel >= 0 ? ItemTextOf(child, sel) : std::string());
            // Reported once the change has settled, so the hook reads the
            // new selection.
            PostMessageW(child, kMsgSelChange, 0, 0);
            return true;
        }
        case CBN_EDITCHANGE:
            c->TextChangedByWindow(WindowTextOf(child));
            return true;
        case CBN_DROPDOWN: {
            RECT r;
            GetWindowRect(child, &r);
            const int dropped = OpenComboHeight(child, r.bottom - r.top);
            c->SetDroppedHeight(dropped);
            SetWindowPos(child, nullptr, 0, 0, r.right - r.left, dropped,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            return true;
        }
        default:
            return false;
        }
    default:
        return false;
    }
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
    case kMsgSelChange:
        if (c->hooks.selChange) {
            auto f = c->hooks.selChange;
            f();
        }
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        return ColorMessage(c, HWND(lParam), HDC(wParam));
    case WM_ERASEBKGND:
        if (c->Kind() == TControlKind::Picture) return 1; // the paint covers it
        if (c->Kind() == TControlKind::Form) {
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(HDC(wParam), &r, BrushOf(c));
            return 1;
        }
        break;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (c->Kind() == TControlKind::Picture) {
            PAINTSTRUCT ps{};
            HDC dc = msg == WM_PAINT ? BeginPaint(hwnd, &ps) : HDC(wParam);
            TGdiCanvas canvas(dc);
            if (c->hooks.paint) {
                auto f = c->hooks.paint;
                f(canvas);
            } else {
                canvas.FillRect(c->ClientRect(), c->Color());
            }
            if (msg == WM_PAINT) EndPaint(hwnd, &ps);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (c->Kind() == TControlKind::Form) {
            if (c->CloseRequested(lParam)) ShowWindow(hwnd, SW_HIDE);
            return 0;
        }
        break;
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

// A combo box's edit field: its keys and focus belong to the combo box.
LRESULT CALLBACK ComboEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto prev = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kPrevProcProp));
    TControl* combo = ControlOf(GetParent(hwnd));
    if (!prev) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (combo) {
        switch (msg) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            return KeyMessage(combo, prev, true, hwnd, msg, wParam, lParam);
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            TMessage m;
            m.msg = msg;
            combo->DeliverMessage(m);
            break;
        }
        case WM_NCDESTROY:
            RemovePropW(hwnd, kPrevProcProp);
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(prev));
            break;
        default:
            break;
        }
    }
    return CallWindowProcW(prev, hwnd, msg, wParam, lParam);
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

// Registers "obj_<base>" once: the form's class of its own, and for a system
// class a copy of its information with the toolkit's procedure.
std::wstring ClassOf(TControlKind kind) {
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

// The style words the window gets: the state's, with the window system's
// own visibility and the form's taskbar entry.
DWORD NativeStyle(TControlKind kind, uint32_t style, bool visible) {
    DWORD s = style & ~DWORD(WS_VISIBLE);
    if (kind != TControlKind::Form) s |= WS_CHILD;
    if (visible) s |= WS_VISIBLE;
    return s;
}

DWORD NativeExStyle(TControlKind kind, uint32_t exStyle) {
    return kind == TControlKind::Form ? exStyle | WS_EX_APPWINDOW : exStyle;
}

} // namespace

TControl* ControlOf(HWND hwnd) {
    return hwnd ? static_cast<TControl*>(GetPropW(hwnd, kSelfProp)) : nullptr;
}

TControl::TImpl* TControl::NewImpl() {
    return new TImpl;
}

void TControl::TImplDeleter::operator()(TImpl* impl) const {
    delete impl;
}

void TControl::CreateWindowOf(TControl* parent) {
    TStyles st;
    TRect r;
    bool visible;
    {
        std::lock_guard lock(mutex_);
        st = s_.styles;
        visible = s_.visible;
    }
    r = AlignedRect();
    const std::wstring cls = ClassOf(kind_);
    HWND parentHwnd = parent ? parent->impl_->hwnd : nullptr;
    if (kind_ == TControlKind::Form && !parentHwnd) parentHwnd = AppWindow(); // the owner
    const HMENU id = kind_ == TControlKind::Form ? nullptr : reinterpret_cast<HMENU>(intptr_t(id_));
    HWND hwnd = CreateWindowExW(NativeExStyle(kind_, st.exStyle), cls.c_str(), L"",
                                NativeStyle(kind_, st.style, visible), r.left, r.top, r.Width(),
                                r.Height(), parentHwnd, id, GetModuleHandleW(nullptr), this);
    if (!hwnd) return; // every later operation does nothing
    impl_->hwnd = hwnd;
    SendMessageW(hwnd, WM_UPDATEUISTATE, 0x10002, 0);
    if (kind_ == TControlKind::Form)
        if (HICON icon = MakeIcon(AppIcon()))
            SendMessageW(hwnd, WM_SETICON, ICON_BIG, LPARAM(icon));
    if (kind_ == TControlKind::Combo) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (GetComboBoxInfo(hwnd, &info) && info.hwndItem && info.hwndItem != hwnd) {
            impl_->edit = info.hwndItem;
            SetPropW(info.hwndItem, kPrevProcProp,
                     reinterpret_cast<HANDLE>(GetWindowLongPtrW(info.hwndItem, GWLP_WNDPROC)));
            SetWindowLongPtrW(info.hwndItem, GWLP_WNDPROC, LONG_PTR(&ComboEditProc));
        }
    }
    if (kind_ == TControlKind::Progress) ApplyRange();
    ApplyFont();
    ApplyPalette();
}

void TControl::DestroyWindowOf() {
    if (HWND hwnd = impl_->hwnd) {
        ShowWindow(hwnd, SW_HIDE);
        DestroyWindow(hwnd);
    }
    if (impl_->brush) DeleteObject(impl_->brush);
    if (impl_->font) DeleteObject(impl_->font);
    impl_->brush = nullptr;
    impl_->font = nullptr;
}

void TControl::ApplyStyles() {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    TStyles st;
    {
        std::lock_guard lock(mutex_);
        st = s_.styles;
    }
    const DWORD style = NativeStyle(kind_, st.style, IsWindowVisible(hwnd)) |
                        (IsWindowEnabled(hwnd) ? 0 : WS_DISABLED);
    const DWORD exStyle = NativeExStyle(kind_, st.exStyle);
    const DWORD oldStyle = DWORD(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const DWORD oldExStyle = DWORD(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    if (style == oldStyle && exStyle == oldExStyle) return;
    if (kind_ == TControlKind::Edit && ((style ^ oldStyle) & ES_READONLY))
        SendMessageW(hwnd, EM_SETREADONLY, (style & ES_READONLY) ? TRUE : FALSE, 0);
    if (kind_ == TControlKind::Edit && ((style ^ oldStyle) & ES_PASSWORD))
        SendMessageW(hwnd, EM_SETPASSWORDCHAR, (style & ES_PASSWORD) ? L'*' : 0, 0);
    if (kind_ == TControlKind::Button && ((style ^ oldStyle) & 0xFFFF))
        SendMessageW(hwnd, BM_SETSTYLE, style & 0xFFFF, TRUE);
    SetWindowLongPtrW(hwnd, GWL_STYLE, LONG_PTR(style));
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, LONG_PTR(exStyle));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd, nullptr, TRUE);
}

namespace {
// Moves the window unless it is where it was put last: a text set many times
// a second (the hidden CRC field) moves nothing, and each SetWindowPos is a
// round trip to the window system.
void Place(TControl::TImpl& impl, int x, int y, int w, int h) {
    const RECT r{x, y, x + w, y + h};
    if (EqualRect(&r, &impl.placed)) return;
    impl.placed = r;
    SetWindowPos(impl.hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}
} // namespace

// A form's client area is the one the classic frame leaves (as on every
// system the program runs on); its outer size follows from the window
// system's own frame. A combo box's window also holds its drop-down list.
void TControl::ApplyGeometry() {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    const TRect r = AlignedRect();
    if (kind_ == TControlKind::Form) {
        const TRect client = ClientRect();
        RECT outer{0, 0, client.Width(), client.Height()};
        AdjustWindowRectEx(&outer, DWORD(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
        Place(*impl_, r.left, r.top, outer.right - outer.left, outer.bottom - outer.top);
        return;
    }
    if (kind_ == TControlKind::Combo) {
        // The selection field takes the control's height.
        const int field = std::max(1, r.Height() - 6);
        if (SendMessageW(hwnd, CB_GETITEMHEIGHT, WPARAM(-1), 0) != field)
            SendMessageW(hwnd, CB_SETITEMHEIGHT, WPARAM(-1), field);
        Place(*impl_, r.left, r.top, r.Width(), OpenComboHeight(hwnd, r.Height()));
        return;
    }
    Place(*impl_, r.left, r.top, r.Width(), r.Height());
}

void TControl::ApplyVisible(bool visible) {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    if (!visible) FocusToForm(*this);
    if (kind_ == TControlKind::Form) {
        ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE);
        if (visible) {
            SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            SetForegroundWindow(hwnd);
        }
        return;
    }
    ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

// A disabled form refuses input and its controls look as they are; a
// disabled control is drawn disabled by its class.
void TControl::ApplyEnabled(bool enabled) {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    if (kind_ == TControlKind::Form) {
        if (!enabled)
            for (TControl* child : children_)
                if (child->kind_ == TControlKind::Combo && child->impl_->hwnd)
                    SendMessageW(child->impl_->hwnd, CB_SHOWDROPDOWN, FALSE, 0);
        EnableWindow(hwnd, enabled);
        return;
    }
    if (!enabled) FocusToForm(*this);
    EnableWindow(hwnd, enabled);
}

void TControl::ApplyWindowText(const std::string& text) {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    const std::wstring w = Wide(text);
    switch (kind_) {
    case TControlKind::Edit: {
        DWORD start = 0, end = 0;
        SendMessageW(hwnd, EM_GETSEL, WPARAM(&start), LPARAM(&end));
        SetWindowTextW(hwnd, w.c_str());
        const int caret = std::min<int>(int(start), int(w.size()));
        SendMessageW(hwnd, EM_SETSEL, WPARAM(caret), LPARAM(caret));
        break;
    }
    case TControlKind::Combo:
        if (impl_->edit) {
            SetWindowTextW(hwnd, w.c_str());
        } else {
            const LRESULT index =
                SendMessageW(hwnd, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(w.c_str()));
            SendMessageW(hwnd, CB_SETCURSEL, WPARAM(index), 0);
        }
        break;
    default:
        SetWindowTextW(hwnd, w.c_str());
        break;
    }
}

void TControl::ApplyPalette() {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    BrushOf(this);
    if (kind_ == TControlKind::Progress) {
        uint32_t bar, color;
        {
            std::lock_guard lock(mutex_);
            bar = s_.barColor;
            color = s_.color;
        }
        SendMessageW(hwnd, PBM_SETBARCOLOR, 0, LPARAM(ColorRefOf(bar)));
        SendMessageW(hwnd, PBM_SETBKCOLOR, 0, LPARAM(ColorRefOf(color)));
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void TControl::ApplyFont() {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    HFONT font = MakeFont(Font());
    SendMessageW(hwnd, WM_SETFONT, WPARAM(font), TRUE);
    if (impl_->font) DeleteObject(impl_->font);
    impl_->font = font;
}

bool TControl::MeasureText(const std::string& text, const TFontRec& font, int& width, int& height,
                           int& lineHeight) const {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return false;
    HDC dc = GetDC(hwnd);
    HFONT f = MakeFont(font);
    HGDIOBJ old = SelectObject(dc, f);
    const std::wstring w = Wide(text);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, w.c_str(), int(w.size()), &r, DT_CALCRECT | DT_NOPREFIX);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteObject(f);
    ReleaseDC(hwnd, dc);
    width = r.right - r.left;
    height = r.bottom - r.top;
    lineHeight = tm.tmHeight;
    return true;
}

bool TControl::ShiftHeld() const {
    return GetKeyState(VK_SHIFT) < 0;
}

// Tips come from the hint manager's tool-tip windows; the control keeps the
// text only.
void TControl::ApplyToolTip() {}

void TControl::ApplyRange() {
    if (HWND hwnd = impl_->hwnd) SendMessageW(hwnd, PBM_SETRANGE32, 0, RangeMax());
}

void TControl::ApplyProgress() {
    if (HWND hwnd = impl_->hwnd) {
        SendMessageW(hwnd, PBM_SETPOS, WPARAM(Progress()), 0);
        UpdateWindow(hwnd);
    }
}

void TControl::SetFocus() {
    GuiCall([&] {
        if (HWND target = impl_->edit ? impl_->edit : impl_->hwnd) ::SetFocus(target);
    });
}

bool TControl::Focused() const {
    return OnGui<bool>(
        [&] {
            HWND focus = GetFocus();
            // A form has the focus when no control of it has: also while it
            // is disabled, when the window system gives the focus to none.
            if (kind_ == TControlKind::Form)
                return impl_->hwnd && GetActiveWindow() == impl_->hwnd &&
                       (!focus || focus == impl_->hwnd);
            return focus && (focus == impl_->hwnd || focus == impl_->edit);
        },
        false);
}

void TControl::BringToTop() {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd)
            SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    });
}

// ---- form ----

void TControl::Close(intptr_t lParam) {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd) SendMessageW(hwnd, WM_CLOSE, 0, LPARAM(lParam));
    });
}

void TControl::DragMove() {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd) {
            ReleaseCapture();
            SendMessageW(hwnd, WM_SYSCOMMAND, 0xF012, 0);
        }
    });
}

void TControl::SetIcon(TIconHandle icon) {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd)
            SendMessageW(hwnd, WM_SETICON, ICON_BIG, LPARAM(MakeIcon(icon)));
    });
}

// ---- edit ----

int TControl::CaretPos() const {
    return OnGui<int>(
        [&] {
            DWORD start = 0, end = 0;
            if (kind_ != TControlKind::Edit || !impl_->hwnd) return 0;
            SendMessageW(impl_->hwnd, EM_GETSEL, WPARAM(&start), LPARAM(&end));
            return int(start);
        },
        0);
}

std::string TControl::SelectedText() const {
    return OnGui<std::string>(
        [&] {
            HWND field = kind_ == TControlKind::Edit ? impl_->hwnd : impl_->edit;
            if (!field) return std::string();
            DWORD start = 0, end = 0;
            SendMessageW(field, EM_GETSEL, WPARAM(&start), LPARAM(&end));
            const std::string text = WindowTextOf(field);
            if (end <= start || start >= text.size()) return std::string();
            return text.substr(start, end - start);
        },
        std::string());
}

void TControl::SetCaretPos(int pos) {
    GuiCall([&] {
        if (kind_ == TControlKind::Edit && impl_->hwnd)
            SendMessageW(impl_->hwnd, EM_SETSEL, WPARAM(pos), LPARAM(pos));
    });
}

// ---- combo box ----

int TControl::AddItem(const std::string& text) {
    return OnGui<int>(
        [&] {
            if (kind_ != TControlKind::Combo || !impl_->hwnd) return -1;
            const std::wstring w = Wide(text);
            const int index = int(SendMessageW(impl_->hwnd, CB_ADDSTRING, 0, LPARAM(w.c_str())));
            ApplyGeometry();
            return index < 0 ? -1 : index;
        },
        -1);
}

int TControl::InsertItem(int index, const std::string& text) {
    return OnGui<int>(
        [&] {
            if (kind_ != TControlKind::Combo || !impl_->hwnd) return -1;
            if (index < -1 || index > ItemCountOf(impl_->hwnd)) return -1;
            const std::wstring w = Wide(text);
            const int at =
                int(SendMessageW(impl_->hwnd, CB_INSERTSTRING, WPARAM(index), LPARAM(w.c_str())));
            ApplyGeometry();
            return at < 0 ? -1 : at;
        },
        -1);
}

int TControl::ItemCount() const {
    return OnGui<int>(
        [&] { return kind_ == TControlKind::Combo && impl_->hwnd ? ItemCountOf(impl_->hwnd) : 0; },
        0);
}

std::string TControl::ItemText(int index) const {
    return OnGui<std::string>(
        [&] {
            if (kind_ != TControlKind::Combo || !impl_->hwnd) return std::string();
            return ItemTextOf(impl_->hwnd, index);
        },
        std::string());
}

void TControl::SetItemText(int index, const std::string& text) {
    GuiCall([&] {
        HWND hwnd = impl_->hwnd;
        if (kind_ != TControlKind::Combo || !hwnd || index < 0 || index >= ItemCountOf(hwnd))
            return;
        const LRESULT data = SendMessageW(hwnd, CB_GETITEMDATA, WPARAM(index), 0);
        const int sel = int(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
        const std::wstring w = Wide(text);
        SendMessageW(hwnd, CB_DELETESTRING, WPARAM(index), 0);
        SendMessageW(hwnd, CB_INSERTSTRING, WPARAM(index), LPARAM(w.c_str()));
        SendMessageW(hwnd, CB_SETITEMDATA, WPARAM(index), data);
        if (sel == index) SendMessageW(hwnd, CB_SETCURSEL, WPARAM(index), 0);
    });
}

int TControl::ItemData(int index) const {
    return OnGui<int>(
        [&] {
            HWND hwnd = impl_->hwnd;
            if (kind_ != TControlKind::Combo || !hwnd || index < 0 || index >= ItemCountOf(hwnd))
                return -1;
            return int(SendMessageW(hwnd, CB_GETITEMDATA, WPARAM(index), 0));
        },
        -1);
}

void TControl::SetItemData(int index, int data) {
    GuiCall([&] {
        HWND hwnd = impl_->hwnd;
        if (kind_ == TControlKind::Combo && hwnd && index >= 0 && index < ItemCountOf(hwnd))
            SendMessageW(hwnd, CB_SETITEMDATA, WPARAM(index), LPARAM(data));
    });
}

void TControl::SetCurSel(int index) {
    GuiCall([&] {
        HWND hwnd = impl_->hwnd;
        if (kind_ != TControlKind::Combo || !hwnd) return;
        if (index < 0 || index >= ItemCountOf(hwnd)) index = -1;
        SendMessageW(hwnd, CB_SETCURSEL, WPARAM(index), 0);
        TextChangedByWindow(ComboTextOf(hwnd));
    });
}

int TControl::CurSel() const {
    return OnGui<int>(
        [&] {
            if (kind_ != TControlKind::Combo || !impl_->hwnd) return -1;
            return int(SendMessageW(impl_->hwnd, CB_GETCURSEL, 0, 0));
        },
        -1);
}

void TControl::ResetContent() {
    GuiCall([&] {
        if (kind_ != TControlKind::Combo || !impl_->hwnd) return;
        SendMessageW(impl_->hwnd, CB_RESETCONTENT, 0, 0);
        TextChangedByWindow(ComboTextOf(impl_->hwnd));
        ApplyGeometry();
    });
}

void TControl::SetRedraw(bool on) {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd) {
            SendMessageW(hwnd, WM_SETREDRAW, on ? TRUE : FALSE, 0);
            if (on) InvalidateRect(hwnd, nullptr, FALSE);
        }
    });
}

void TControl::ShowDropDown(bool show) {
    GuiCall([&] {
        if (kind_ == TControlKind::Combo && impl_->hwnd)
            SendMessageW(impl_->hwnd, CB_SHOWDROPDOWN, show ? TRUE : FALSE, 0);
    });
}

bool TControl::DroppedDown() const {
    return OnGui<bool>(
        [&] {
            return kind_ == TControlKind::Combo && impl_->hwnd &&
                   SendMessageW(impl_->hwnd, CB_GETDROPPEDSTATE, 0, 0) != 0;
        },
        false);
}

// ---- picture box, screenshots ----

void TControl::Invalidate() {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd) InvalidateRect(hwnd, nullptr, TRUE);
    });
}

bool TControl::SaveScreenshot(const std::string& path) const {
    return WritePng(path, Render());
}

// A form is drawn as its client area, a control with its edge.
TPixels TControl::Render() const {
    return OnGui<TPixels>([&] { return CapturePixels(impl_->hwnd, kind_ == TControlKind::Form); },
                          TPixels());
}

TRect TControl::DrawnRect() const {
    return OnGui<TRect>(
        [&] {
            HWND hwnd = impl_->hwnd;
            if (!hwnd) return TRect();
            RECT r;
            if (kind_ == TControlKind::Form) {
                GetClientRect(hwnd, &r);
            } else {
                GetWindowRect(hwnd, &r);
                MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
            }
            return TRect{r.left, r.top, r.right, r.bottom};
        },
        TRect());
}

bool TControl::WindowVisible() const {
    return OnGui<bool>([&] { return impl_->hwnd && IsWindowVisible(impl_->hwnd); }, false);
}

std::string TControl::WindowText() const {
    return OnGui<std::string>([&] { return WindowTextOf(impl_->hwnd); }, std::string());
}

TControl::TFrameShown TControl::FrameShown() const {
    return OnGui<TFrameShown>(
        [&] {
            TFrameShown f;
            if (!impl_->hwnd) return f;
            const DWORD style = DWORD(GetWindowLongPtrW(impl_->hwnd, GWL_STYLE));
            f.caption = (style & WS_CAPTION) == WS_CAPTION;
            f.sysMenu = style & WS_SYSMENU;
            f.minimizeBox = style & WS_MINIMIZEBOX;
            f.maximizeBox = style & WS_MAXIMIZEBOX;
            f.sizable = style & WS_THICKFRAME;
            return f;
        },
        TFrameShown());
}

void TControl::Activate() {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd) {
            SetForegroundWindow(hwnd);
            SetActiveWindow(hwnd);
        }
    });
}
