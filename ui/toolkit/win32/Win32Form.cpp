// The form in the Win32 backend: a top-level window of its own class with
// the application's icon, its background, its close request and moves; moving
// by the client area, the icon and activation.
#include "ui/toolkit/win32/Win32.h"

namespace {

class TFormKind : public TWin32Kind {
public:
    void Created(TControl&, HWND hwnd) const override {
        if (HICON icon = MakeIcon(AppIcon()))
            SendMessageW(hwnd, WM_SETICON, ICON_BIG, LPARAM(icon));
    }

    bool Message(TControl& c, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                 LRESULT& result) const override {
        switch (msg) {
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(HDC(wParam), &r, BrushOf(&c));
            result = 1;
            return true;
        }
        case WM_CLOSE:
            if (c.CloseRequested(lParam)) ShowWindow(hwnd, SW_HIDE);
            result = 0;
            return true;
        default:
            return false;
        }
    }

    // A form's client area is the one the classic frame leaves (as on every
    // system the program runs on); its outer size follows from the window
    // system's own frame.
    void Place(TControl& c, HWND hwnd, const TRect& r) const override {
        const TRect client = c.ClientRect();
        RECT outer{0, 0, client.Width(), client.Height()};
        AdjustWindowRectEx(&outer, DWORD(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
        PlaceWindow(c.Impl(), r.left, r.top, outer.right - outer.left, outer.bottom - outer.top);
    }
};

} // namespace

const TWin32Kind& Win32FormKind() {
    static const TFormKind kind;
    return kind;
}

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

TControl::TFrameShown TControl::FrameShown() const {
    return GuiResult<TFrameShown>(
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
