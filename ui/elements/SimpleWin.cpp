#include "ui/elements/SimpleWin.h"

TQeSimpleWin::TQeSimpleWin(TControl* parentControl) : ParentControl(parentControl) {
    if (ParentControl) Color = ParentControl->Color();
    Font = MakeFontRec("MS Sans Serif", 8, 0, 0, 1);
}

TQeSimpleWin::~TQeSimpleWin() {
    if (!Control) return;
    Control->hooks = TControlHooks{};
    if (!WindowGone) Control->SetVisible(false);
    delete Control;
}

void TQeSimpleWin::inSetEnabled(TData& d, uint16_t) {
    Control->SetEnabled(IsTrue(d));
}

void TQeSimpleWin::KeyDown(int& key) {
    FireInteger(onKeyDown, key);
}

void TQeSimpleWin::KeyUp(int& key) {
    FireInteger(onKeyUp, key);
}

// Mouse capture: the toolkit keeps the mouse for the window from button
// down to up, which is what capturing asks for.
void TQeSimpleWin::MouseDown(const TMouseEvent& m) {
    MouseDownOf(*this, m);
}

void TQeSimpleWin::MouseMove(const TMouseEvent& m) {
    MouseMoveOf(*this, m);
}

void TQeSimpleWin::MouseEnter() {
    FireNull(onMouseEnter);
}

void TQeSimpleWin::MouseLeave() {
    FireNull(onMouseLeave);
}

void TQeSimpleWin::MouseUp(const TMouseEvent& m) {
    MouseUpOf(*this, m);
}

void TQeSimpleWin::MouseWheel(const TMouseEvent& m) {
    MouseWheelOf(*this, m);
}

bool TQeSimpleWin::Message(TMessage& m) {
    FireWindowEvents(*this, m);
    return ChainedHook ? ChainedHook(m) : false;
}

void TQeSimpleWin::Destroyed() {
    WindowGone = true;
}

void TQeSimpleWin::Resized() {
    FireNull(onResize);
}

void TQeSimpleWin::Shown() {
    FireNull(onShow);
}

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
    InstallWindowHooks(*this);
    // 6. Alignment, then visibility; the window exists already.
    Control->SetAlign(Align);
    Control->SetVisible(Visible);
}
