// The push button in the Win32 backend: its click, and its button style,
// which the class keeps apart from the window's style.
#include "ui/toolkit/win32/Win32.h"

namespace {

class TButtonKind : public TClickKind {
public:
    TButtonKind() : TClickKind(BN_CLICKED) {}

    void StylesChanging(HWND hwnd, DWORD style, DWORD oldStyle) const override {
        if ((style ^ oldStyle) & 0xFFFF) SendMessageW(hwnd, BM_SETSTYLE, style & 0xFFFF, TRUE);
    }
};

} // namespace

const TWin32Kind& Win32ButtonKind() {
    static const TButtonKind kind;
    return kind;
}
