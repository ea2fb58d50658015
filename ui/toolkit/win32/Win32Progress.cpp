// The progress bar in the Win32 backend: its range, position and colours go
// to the common control by its own messages.
#include "ui/toolkit/win32/Win32.h"

namespace {

class TProgressKind : public TWin32Kind {
public:
    void Created(TControl& c, HWND hwnd) const override {
        SendMessageW(hwnd, PBM_SETRANGE32, 0, c.RangeMax());
    }

    void ApplyPalette(TControl& c, HWND hwnd) const override {
        SendMessageW(hwnd, PBM_SETBARCOLOR, 0, LPARAM(ColorRefOf(c.BarColor())));
        SendMessageW(hwnd, PBM_SETBKCOLOR, 0, LPARAM(ColorRefOf(c.Color())));
    }
};

} // namespace

const TWin32Kind& Win32ProgressKind() {
    static const TProgressKind kind;
    return kind;
}

void TControl::ApplyRange() {
    if (HWND hwnd = impl_->hwnd) SendMessageW(hwnd, PBM_SETRANGE32, 0, RangeMax());
}

void TControl::ApplyProgress() {
    if (HWND hwnd = impl_->hwnd) {
        SendMessageW(hwnd, PBM_SETPOS, WPARAM(Progress()), 0);
        UpdateWindow(hwnd);
    }
}
