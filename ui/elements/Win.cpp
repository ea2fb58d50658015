#include "ui/elements/Win.h"

TQeWin::~TQeWin() {
    DetachControl();
    if (HintTool && HintManagerRef) HintManagerRef->DestroyTool(HintTool);
}

void TQeWin::inSetVisible(TData& d, uint16_t) {
    Control->SetVisible(IsTrue(d));
}

void TQeWin::SetLayout(void* manager) {
    Layout = manager;
}

void TQeWin::SetHintManager(TQeHintManager* manager) {
    if (!manager && Hint.empty()) return;
    TQeHintManager* m = manager ? manager : &SharedHintManager();
    HintTool = m->CreateTool(Control);
    m->SetText(HintTool, Hint);
    HintManagerRef = m;
}

void TQeWin::KeyChar(int& ch) {
    FireString(onKeyChar, std::string(1, char(ch)));
}

void TQeWin::MouseMove(const TMouseEvent& m) {
    if (HintManagerRef) HintManagerRef->MouseMove(HintTool, MouseState.x, MouseState.y);
    TQeWinBase::MouseMove(m);
}

void TQeWin::MouseEnter() {
    if (HintManagerRef) HintManagerRef->MouseEnter(HintTool);
    TQeWinBase::MouseEnter();
}

void TQeWin::MouseLeave() {
    if (HintManagerRef) HintManagerRef->MouseLeave(HintTool);
    TQeWinBase::MouseLeave();
}

// A proposed change of size goes through the filters: each may answer an
// Integer change that replaces the proposed one.
void TQeWin::SizeFilter(TWindowPos& pos) {
    const int h = Control->Height();
    const int w = Control->Width();
    if (pos.cy != h) {
        TData d;
        SetInteger(d, pos.cy - h);
        Pull(d, srcHeightFilter);
        if (d.type == data_int) pos.cy = h + d.idata;
    }
    if (pos.cx != w) {
        TData d;
        SetInteger(d, pos.cx - w);
        Pull(d, srcWidthFilter);
        if (d.type == data_int) pos.cx = w + d.idata;
    }
}

bool TQeWin::Message(TMessage& m) {
    FireWindowEvents(m);
    if (m.msg == WM_WINDOWPOSCHANGING && m.pos && !m.pos->noSize) SizeFilter(*m.pos);
    return CallChained(m);
}

void TQeWin::InitWin() {
    // 2-3. Colour, place and size; the asked three-dimensional look.
    ApplyFrame();
    // 4. Transparency, state, cursor, flat look.
    Control->SetTransparent(Transparent);
    Control->SetEnabled(Enabled);
    Control->SetCursor(Cursor);
    if (Flat) Control->SetStyle(Control->Style() | BS_FLAT);
    // 5. Font: the form's, or our own setting.
    if (ParentFont && ParentControl)
        Control->SetFont(ParentControl->Font());
    else
        Control->SetFont(Font);
    Control->SetKeyRouting(KeyRouting);
    // 6. Tab order.
    if (TabOrder != 0) Control->SetTabOrder(TabOrder);
    // 7. Hooks.
    InstallWindowHooks();
    TControlHooks& h = Control->hooks;
    h.keyDown = [this](int& key) {
        KeyResult = -1;
        KeyDown(key);
        if (KeyResult >= 0)
            key = KeyResult;
        else if (key == 0)
            KeyResult = 0;
    };
    h.keyUp = [this](int& key) {
        KeyResult = -1;
        KeyUp(key);
        if (KeyResult >= 0) key = KeyResult;
    };
    h.keyChar = [this](int& ch) {
        if (KeyResult != 0) KeyChar(ch);
    };
    // 8. Alignment, top of the z-order, visibility.
    Control->SetAlign(Align);
    Control->BringToTop();
    Control->SetVisible(Visible);
    // 10. The frame style replaces the extended style of a sunken control.
    if (EdgeStyle == 0 && FrameStyle >= 1 && FrameStyle <= 4) {
        static constexpr uint32_t kFrame[5] = {0, 0, 0x20000, 0x1, 0x201};
        Control->SetExStyle(kFrame[FrameStyle]);
    }
}
