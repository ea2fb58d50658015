// TQeWin: the base of every child control element: geometry, colours, font,
// state, the common window events and the size filters, applied in one Init
// after the schema has set the properties.
#pragma once

#include "runtime/Share.h"
#include "ui/elements/WinBase.h"
#include "ui/elements/qeHintManager.h"
#include "ui/toolkit/Control.h"

#include <string>

class TQeWin : public TQeWinBase {
public:
    // `parentControl` is the form's control object (TQeSimpleForm::Control).
    explicit TQeWin(TControl* parentControl) : TQeWinBase(parentControl) {}
    ~TQeWin() override;

    TControl* SideControl = nullptr; // never created here
    int32_t KeyResult = -1;          // -1: no key swallowed yet
    THintTool* HintTool = nullptr;
    TQeHintManager* HintManagerRef = nullptr;
    uint32_t Options = 0;
    std::string Hint;
    bool ParentFont = false;
    bool Transparent = false;
    bool Flat = false;
    bool KeyRouting = true;
    void* SideCreator = nullptr;
    int32_t SideGap = 0;
    uint32_t SideColor = 0;
    int32_t SideParam1 = 0, SideParam2 = 0;
    uint8_t FrameStyle = 0;
    TEventLink onKeyChar;
    TEventLink srcWidthFilter, srcHeightFilter;

    void inSetVisible(TData& d, uint16_t index);

    // Called by the schema after Init; with no manager and an empty Hint
    // nothing happens.
    void SetLayout(void* manager);
    void SetHintManager(TQeHintManager* manager);

    virtual void KeyChar(int& ch);
    // The hint follows the mouse.
    void MouseMove(const TMouseEvent& m) override;
    void MouseEnter() override;
    void MouseLeave() override;
    // The window events, the size filters, then the chained hook.
    bool Message(TMessage& m) override;
    virtual TControl* ControlAccess() { return Control; }

protected:
    // The common Init steps, once the control object exists: each concrete
    // element's Init creates its control, then runs InitWin.
    void InitWin();

private:
    void SizeFilter(TWindowPos& pos);
};
