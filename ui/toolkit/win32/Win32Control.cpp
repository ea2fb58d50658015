// The Win32 backend of the control object: a window of the registered
// class "obj_<base>" renders the state. What every kind does alike is here;
// what a kind does with its window is in Win32<Kind>.cpp, the window
// procedure in Win32Proc.cpp.
#include "ui/toolkit/win32/Win32.h"

#include "ui/toolkit/Png.h"

#include <algorithm>

// After the definition of the window record.
#include "ui/toolkit/ControlRecord.h"

// In the order of TControlKind.
const TWin32Kind& Win32KindOf(TControlKind kind) {
    static const TWin32Kind* const kinds[] = {
        &Win32FormKind(), &Win32ButtonKind(), &Win32LabelKind(),   &Win32PictureKind(),
        &Win32EditKind(), &Win32ComboKind(),  &Win32ProgressKind()};
    return *kinds[int(kind)];
}

namespace {

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

// A control that is disabled or hidden while it has the focus leaves the
// focus with its form.
void FocusToForm(TControl& c) {
    HWND hwnd = c.Impl().hwnd;
    if (!hwnd || c.Kind() == TControlKind::Form) return;
    HWND focus = GetFocus();
    if (focus && (focus == hwnd || IsChild(hwnd, focus)))
        if (HWND form = FormOf(&c)->Impl().hwnd) SetFocus(form);
}

} // namespace

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
    const std::wstring cls = RegisteredClassOf(kind_);
    HWND parentHwnd = parent ? parent->impl_->hwnd : nullptr;
    if (kind_ == TControlKind::Form && !parentHwnd) parentHwnd = AppWindow(); // the owner
    const HMENU id = kind_ == TControlKind::Form ? nullptr : reinterpret_cast<HMENU>(intptr_t(id_));
    HWND hwnd = CreateWindowExW(NativeExStyle(kind_, st.exStyle), cls.c_str(), L"",
                                NativeStyle(kind_, st.style, visible), r.left, r.top, r.Width(),
                                r.Height(), parentHwnd, id, GetModuleHandleW(nullptr), this);
    if (!hwnd) return; // every later operation does nothing
    impl_->hwnd = hwnd;
    SendMessageW(hwnd, WM_UPDATEUISTATE, 0x10002, 0);
    Win32KindOf(kind_).Created(*this, hwnd);
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
    Win32KindOf(kind_).StylesChanging(hwnd, style, oldStyle);
    SetWindowLongPtrW(hwnd, GWL_STYLE, LONG_PTR(style));
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, LONG_PTR(exStyle));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void TControl::ApplyGeometry() {
    if (HWND hwnd = impl_->hwnd) Win32KindOf(kind_).Place(*this, hwnd, AlignedRect());
}

bool TControl::HasWindow() const {
    return impl_->hwnd != nullptr;
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
    if (HWND hwnd = impl_->hwnd) Win32KindOf(kind_).ApplyText(*this, hwnd, Wide(text));
}

void TControl::ApplyPalette() {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    BrushOf(this);
    Win32KindOf(kind_).ApplyPalette(*this, hwnd);
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

void TControl::SetFocus() {
    GuiCall([&] {
        if (HWND target = impl_->edit ? impl_->edit : impl_->hwnd) ::SetFocus(target);
    });
}

bool TControl::Focused() const {
    return GuiResult<bool>(
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

// ---- what the window system shows, for tests and tools ----

bool TControl::SaveScreenshot(const std::string& path) const {
    return WritePng(path, Render());
}

// A form is drawn as its client area, a control with its edge.
TPixels TControl::Render() const {
    return GuiResult<TPixels>(
        [&] { return CapturePixels(impl_->hwnd, kind_ == TControlKind::Form); }, TPixels());
}

TRect TControl::DrawnRect() const {
    return GuiResult<TRect>(
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
    return GuiResult<bool>([&] { return impl_->hwnd && IsWindowVisible(impl_->hwnd); }, false);
}

std::string TControl::WindowText() const {
    return GuiResult<std::string>([&] { return WindowTextOf(impl_->hwnd); }, std::string());
}
