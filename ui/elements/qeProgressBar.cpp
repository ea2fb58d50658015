#include "ui/elements/qeProgressBar.h"

void TQeProgressBar::inSetPosition(TData& d, uint16_t) {
    // The event value as an integer; NULL and non-numbers give 0.
    Control->SetProgress(ReadInteger(d, TEventLink{}, 0));
}

void TQeProgressBar::Init() {
    uint32_t options = 0;
    if (Vertical == 1) options |= 1;
    if (Smooth) options |= 2;
    Control = new TControl(TControlKind::Progress, ParentControl, options);
    Control->SetRange(Max);
    Control->SetBarColor(BarColor);
    Transparent = false;
    if (EdgeStyle == 1) Control->SetExStyle(0);
    InitWin();
}
