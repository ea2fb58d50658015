// TQeSimpleWin: what any element with its own top-level window has:
// geometry, colours, state, and the mouse, focus and window events.
#pragma once

#include "runtime/Share.h"
#include "ui/elements/WinEvents.h"
#include "ui/toolkit/Control.h"

#include <functional>

class TQeSimpleWin : public TQeElement {
public:
    explicit TQeSimpleWin(TControl* parentControl);
    ~TQeSimpleWin() override;

    bool WindowGone = false;
    TControl* ParentControl = nullptr;
    std::function<bool(TMessage&)> ChainedHook;
    TMouseState MouseState;
    void* Layout = nullptr;
    TEventLink onKeyDown, onKeyUp;
    TControl* Control = nullptr; // owned
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    uint8_t Align = 0;
    int32_t TabOrder = 0;
    uint32_t Color = 0x8000000F;
    uint8_t EdgeStyle = 2;
    TFontRec Font;
    bool Visible = true;
    bool Enabled = true;
    int Cursor = 0;
    bool MouseCapture = false;
    int32_t LayoutParam1 = 0, LayoutParam2 = 0;
    TEventLink onMouseDown, onMouseMove, onMouseUp, onMouseWheel, onSetFocus, onKillFocus,
        onDblClick, onResize, onShow, onMove, onMouseEnter, onMouseLeave;

    void inSetEnabled(TData& d, uint16_t index);

    virtual void KeyDown(int& key);
    virtual void KeyUp(int& key);
    virtual void MouseDown(const TMouseEvent& m);
    virtual void MouseMove(const TMouseEvent& m);
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void MouseUp(const TMouseEvent& m);
    virtual void MouseWheel(const TMouseEvent& m);
    virtual bool Message(TMessage& m);
    virtual void Destroyed();
    virtual void Resized();
    virtual void Shown();
    virtual void Init();
};
