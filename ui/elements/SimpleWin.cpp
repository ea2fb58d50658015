#include "ui/elements/SimpleWin.h"

void TQeSimpleWin::Init() {
    // 1-2. Colour, place and size; the asked three-dimensional look.
    ApplyFrame();
    // 3. State.
    Control->SetEnabled(Enabled);
    Control->SetCursor(Cursor);
    // 4. Tab order.
    if (TabOrder != 0) Control->SetTabOrder(TabOrder);
    // 5. Hooks.
    InstallWindowHooks();
    // 6. Alignment, then visibility; the window exists already.
    Control->SetAlign(Align);
    Control->SetVisible(Visible);
}
