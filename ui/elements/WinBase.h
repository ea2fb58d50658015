// TQeWinBase: what a form (TQeSimpleWin) and a child control (TQeWin) have
// alike: the control object, geometry, colours, state, the mouse state, the
// window events they fire and the operations the toolkit's hooks call.
#pragma once

#include "runtime/Share.h"
#include "ui/toolkit/Control.h"

#include <cstdint>
#include <functional>

struct TMouseState {
    int button = 0;
    uint32_t keys = 0;
    int16_t x = 0, y = 0;
};

// The button held at the previous mouse event, as onMouseMove reports it.
int HeldButtonOf(uint32_t keys);

class TQeWinBase : public TQeElement {
public:
    // `parentControl` is the parent window's control object; none for the
    // main form. The background colour starts as the parent's.
    explicit TQeWinBase(TControl* parentControl);
    // Silences and hides the window (unless it is gone), then releases it.
    ~TQeWinBase() override;

    bool WindowGone = false;
    TControl* ParentControl = nullptr;
    std::function<bool(TMessage&)> ChainedHook;
    TMouseState MouseState;
    void* Layout = nullptr;
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
    TEventLink onKeyDown, onKeyUp, onMouseDown, onMouseMove, onMouseUp, onMouseWheel, onSetFocus,
        onKillFocus, onDblClick, onResize, onShow, onMove, onMouseEnter, onMouseLeave;

    void inSetEnabled(TData& d, uint16_t index);

    virtual void KeyDown(int& key);
    virtual void KeyUp(int& key);
    // Mouse capture: the toolkit keeps the mouse for the window from button
    // down to up, which is what capturing asks for.
    virtual void MouseDown(const TMouseEvent& m);
    virtual void MouseMove(const TMouseEvent& m);
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void MouseUp(const TMouseEvent& m);
    virtual void MouseWheel(const TMouseEvent& m);
    // The window events, then the chained hook's answer.
    virtual bool Message(TMessage& m);
    virtual void Destroyed();
    virtual void Resized();
    virtual void Shown();
    virtual void Init() = 0;

protected:
    // The first steps of an Init: colour, place and size, then the asked
    // three-dimensional look.
    void ApplyFrame();
    // onMove, onSetFocus, onKillFocus, and MouseEnter at every mouse message
    // and at hover, MouseLeave when the mouse leaves.
    void FireWindowEvents(const TMessage& m);
    bool CallChained(TMessage& m) { return ChainedHook ? ChainedHook(m) : false; }
    // Remembers the control's message hook as the chained one and installs
    // the mouse, message, destroyed, resized and shown operations.
    void InstallWindowHooks();
    // Clears the control's hooks and hides its window (unless it is gone),
    // once; the destructor of a derived element may do it first.
    void DetachControl();

private:
    bool detached_ = false;
};
