// The text label in the Win32 backend: a static control that notifies its
// click.
#include "ui/toolkit/win32/Win32.h"

namespace {

class TLabelKind : public TWin32Kind {
public:
    bool Command(TControl& c, HWND, UINT code) const override {
        if (code != STN_CLICKED) return false;
        Click(&c);
        return true;
    }
};

} // namespace

const TWin32Kind& Win32LabelKind() {
    static const TLabelKind kind;
    return kind;
}
