// TQeWin: the base of every child control element: geometry, colours, font,
// state, the common window events and the size filters, applied in one Init
// after the schema has set the properties.
#pragma once

#include "runtime/Share.h"
#include "ui/elements/SimpleWin.h"
#include "ui/elements/qeHintManager.h"
#include "ui/toolkit/Control.h"

#include <atomic>
#include <functional>
#include <string>

class TQeWin : public TQeElement {
public:
    // `parentControl` is the form's control object (TQeSimpleForm::Control).
    explicit TQeWin(TControl* parentControl);
    ~TQeWin() override;

    bool WindowGone = false;
    TControl* ParentControl = nullptr;
    TControl* SideControl = nullptr; // never created here
    std::function<bool(TMessage&)> ChainedHook;
    TMouseState MouseState;
    int32_t KeyResult = -1; // -1: no key swallowed yet
    THintTool* HintTool = nullptr;
    TQeHintManager* HintManagerRef = nullptr;
    void* Layout = nullptr;
    uint32_t Options = 0;
    TControl* Control = nullptr; // owned
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    uint8_t Align = 0;
    int32_t TabOrder = 0;
    uint32_t Color = 0x8000000F;
    uint8_t EdgeStyle = 2;
    std::string Hint;
    TFontRec Font;
    bool ParentFont = false;
    bool Transparent = false;
    bool Visible = true;
    bool Enabled = true;
    int Cursor = 0;
    bool MouseCapture = false;
    bool Flat = false;
    bool KeyRouting = true;
    void* SideCreator = nullptr;
    int32_t SideGap = 0;
    uint32_t SideColor = 0;
    int32_t SideParam1 = 0, SideParam2 = 0;
    uint8_t FrameStyle = 0;
    int32_t LayoutParam1 = 0, LayoutParam2 = 0;
    TEventLink onKeyDown, onKeyUp, onKeyChar, onMouseDown, onMouseMove, onMouseUp, onMouseWheel,
        onSetFocus, onKillFocus, onDblClick, onResize, onShow, onMove, onMouseEnter, onMouseLeave;
    TEventLink srcWidthFilter, srcHeightFilter;

    void inSetVisible(TData& d, uint16_t index);
    void inSetEnabled(TData& d, uint16_t index);

    // Called by the schema after Init; with no manager and an empty Hint
    // nothing happens.
    void SetLayout(void* manager);
    void SetHintManager(TQeHintManager* manager);

    virtual void KeyDown(int& key);
    virtual void KeyUp(int& key);
    virtual void KeyChar(int& ch);
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
    // Each concrete element creates its control, then runs InitWin.
    virtual void Init() = 0;
    virtual TControl* ControlAccess() { return Control; }

protected:
    // The common Init steps, once the control object exists.
    void InitWin();

private:
    void SizeFilter(TWindowPos& pos);
};
