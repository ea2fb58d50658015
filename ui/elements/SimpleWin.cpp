#include "ui/elements/SimpleWin.h"

void TQeSimpleWin::Init() {
    // 1. Colour, place and size.
    Control->SetColor(Color);
    Control->SetPosition(Left, Top);
    Control->SetSize(Width, Height);
    // 2. The asked three-dimensional look.
    if (EdgeStyle < 2) Control->SetEdge3D(EdgeStyle == 0);
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
