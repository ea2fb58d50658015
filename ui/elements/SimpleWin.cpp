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

int HeldButtonOf(uint32_t keys) {
    switch (keys) {
    case MK_LBUTTON:
        return 0;
    case MK_RBUTTON:
        return 1;
    case MK_MBUTTON:
        return 2;
    default:
        return 255;
    }
}

void TQeSimpleWin::KeyDown(int& key) {
    FireInteger(onKeyDown, key);
}

void TQeSimpleWin::KeyUp(int& key) {
    FireInteger(onKeyUp, key);
}

// Mouse capture: Qt keeps the mouse for the widget from button down to up,
// which is what capturing asks for.
void TQeSimpleWin::MouseDown(const TMouseEvent& m) {
    MouseState = {m.button, m.keys, m.x, m.y};
    FireInteger(onMouseDown, m.button - 1);
}

void TQeSimpleWin::MouseMove(const TMouseEvent& m) {
    FireInteger(onMouseMove, HeldButtonOf(MouseState.keys));
    MouseState = {m.button, m.keys, m.x, m.y};
}

void TQeSimpleWin::MouseEnter() {
    FireNull(onMouseEnter);
}

void TQeSimpleWin::MouseLeave() {
    FireNull(onMouseLeave);
}

void TQeSimpleWin::MouseUp(const TMouseEvent& m) {
    MouseState = {m.button, m.keys, m.x, m.y};
    FireInteger(onMouseUp, m.button - 1);
}

void TQeSimpleWin::MouseWheel(const TMouseEvent& m) {
    MouseState = {m.button, m.keys, m.x, m.y};
    FireInteger(onMouseWheel, int16_t(m.keys >> 16));
}

bool TQeSimpleWin::Message(TMessage& m) {
    switch (m.msg) {
    case WM_MOVE:
        FireNull(onMove);
        break;
    case WM_SETFOCUS:
        FireNull(onSetFocus);
        break;
    case WM_KILLFOCUS:
        FireNull(onKillFocus);
        break;
    case WM_MOUSEHOVER:
        MouseEnter();
        break;
    case WM_MOUSELEAVE:
        MouseLeave();
        break;
    default:
        if (m.msg >= WM_MOUSEFIRST && m.msg <= WM_MOUSELAST) MouseEnter();
        break;
    }
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
    ChainedHook = Control->hooks.message;
    TControlHooks& h = Control->hooks;
    h.mouseDown = [this](const TMouseEvent& m) { MouseDown(m); };
    h.mouseMove = [this](const TMouseEvent& m) { MouseMove(m); };
    h.mouseUp = [this](const TMouseEvent& m) { MouseUp(m); };
    h.mouseWheel = [this](const TMouseEvent& m) { MouseWheel(m); };
    h.dblClick = [this](const TMouseEvent& m) { FireInteger(onDblClick, m.button - 1); };
    h.message = [this](TMessage& m) { return Message(m); };
    h.destroyed = [this] { Destroyed(); };
    h.resized = [this] { Resized(); };
    h.shown = [this] { Shown(); };
    // 6. Alignment, then visibility; the window exists already.
    Control->SetAlign(Align);
    Control->SetVisible(Visible);
}
