// The text label in the Win32 backend: a static control that notifies its
// click.
#include "ui/toolkit/win32/Win32.h"

const TWin32Kind& Win32LabelKind() {
    static const TClickKind kind(STN_CLICKED);
    return kind;
}
