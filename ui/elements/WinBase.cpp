#include "ui/elements/WinBase.h"

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

namespace {
TMouseState MouseStateOf(const TMouseEvent& m) {
    return {m.button, m.keys, m.x, m.y};
}
} // namespace

TQeWinBase::TQeWinBase(TControl* parentControl) : ParentControl(parentControl) {
    if (ParentControl) Color = ParentControl->Color();
    Font = MakeFontRec("MS Sans Serif", 8, 0, 0, 1);
}

TQeWinBase::~TQeWinBase() {
    DetachControl();
    delete Control;
}

void TQeWinBase::ApplyFrame() {
    Control->SetColor(Color);
    Control->SetPosition(Left, Top);
    Control->SetSize(Width, Height);
    if (EdgeStyle < 2) Control->SetEdge3D(EdgeStyle == 0);
}

void TQeWinBase::DetachControl() {
    if (!Control || detached_) return;
    detached_ = true;
    Control->hooks = TControlHooks{};
    if (!WindowGone) Control->SetVisible(false);
}

void TQeWinBase::inSetEnabled(TData& d, uint16_t) {
    Control->SetEnabled(IsTrue(d));
}

void TQeWinBase::KeyDown(int& key) {
    FireInteger(onKeyDown, key);
}

void TQeWinBase::KeyUp(int& key) {
    FireInteger(onKeyUp, key);
}

void TQeWinBase::MouseDown(const TMouseEvent& m) {
    MouseState = MouseStateOf(m);
    FireInteger(onMouseDown, m.button - 1);
}

void TQeWinBase::MouseMove(const TMouseEvent& m) {
    FireInteger(onMouseMove, HeldButtonOf(MouseState.keys));
    MouseState = MouseStateOf(m);
}

void TQeWinBase::MouseEnter() {
    FireNull(onMouseEnter);
}

void TQeWinBase::MouseLeave() {
    FireNull(onMouseLeave);
}

void TQeWinBase::MouseUp(const TMouseEvent& m) {
    MouseState = MouseStateOf(m);
    FireInteger(onMouseUp, m.button - 1);
}

void TQeWinBase::MouseWheel(const TMouseEvent& m) {
    MouseState = MouseStateOf(m);
    FireInteger(onMouseWheel, int16_t(m.keys >> 16));
}

bool TQeWinBase::Message(TMessage& m) {
    FireWindowEvents(m);
    return CallChained(m);
}

void TQeWinBase::Destroyed() {
    WindowGone = true;
}

void TQeWinBase::Resized() {
    FireNull(onResize);
}

void TQeWinBase::Shown() {
    FireNull(onShow);
}

void TQeWinBase::FireWindowEvents(const TMessage& m) {
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
}

void TQeWinBase::InstallWindowHooks() {
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
}
