// The picture box in the Win32 backend: a static control whose client area
// the element's paint hook draws, or the background colour fills.
#include "ui/toolkit/win32/Win32.h"

namespace {

class TPictureKind : public TWin32Kind {
public:
    bool Command(TControl& c, HWND hwnd, UINT code) const override {
        return Win32LabelKind().Command(c, hwnd, code);
    }

    bool Message(TControl& c, HWND hwnd, UINT msg, WPARAM wParam, LPARAM,
                 LRESULT& result) const override {
        if (msg == WM_ERASEBKGND) {
            result = 1; // the paint covers it
            return true;
        }
        if (msg != WM_PAINT && msg != WM_PRINTCLIENT) return false;
        PAINTSTRUCT ps{};
        HDC dc = msg == WM_PAINT ? BeginPaint(hwnd, &ps) : HDC(wParam);
        TGdiCanvas canvas(dc);
        if (c.hooks.paint) {
            auto f = c.hooks.paint;
            f(canvas);
        } else {
            canvas.FillRect(c.ClientRect(), c.Color());
        }
        if (msg == WM_PAINT) EndPaint(hwnd, &ps);
        result = 0;
        return true;
    }
};

} // namespace

const TWin32Kind& Win32PictureKind() {
    static const TPictureKind kind;
    return kind;
}

void TControl::Invalidate() {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd) InvalidateRect(hwnd, nullptr, TRUE);
    });
}
