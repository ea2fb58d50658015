// TQeHintManager: the tool-tip service that control elements use to show
// their hint text.
#pragma once

#include "runtime/Share.h"
#include "ui/toolkit/Control.h"

#include <string>

// One control's tip, owned by the control element.
struct THintTool {
    TControl* control = nullptr;
    std::string text;
    std::string title;
};

class TQeHintManager {
public:
    TQeHintManager();
    virtual ~TQeHintManager() = default;

    bool Rectangular = true;
    uint32_t BackColor = 0xFF000018;
    int32_t InitialDelay = 500;
    int32_t AutoPopDelay = 5000;
    int32_t Margin = 0;
    bool Tracking = false;
    TFontRec Font;

    virtual THintTool* CreateTool(TControl* control);
    virtual void DestroyTool(THintTool* tool);
    virtual void SetText(THintTool* tool, const std::string& text);
    virtual void SetTitle(THintTool* tool, const std::string& text);
    // Only with Tracking: the tip follows the mouse.
    virtual void MouseEnter(THintTool* tool);
    virtual void MouseLeave(THintTool* tool);
    virtual void MouseMove(THintTool* tool, int x, int y);
};

// The shared instance, made on first use with the defaults.
TQeHintManager& SharedHintManager();
