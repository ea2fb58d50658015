// TQeLabel: a static text; may change colour and underline under the mouse.
#pragma once

#include "ui/elements/Win.h"

class TQeLabel : public TQeWin {
public:
    // The label's control exists from construction.
    explicit TQeLabel(TControl* parentControl);

    TEventLink onClick;
    uint32_t HoverColor = 0; // 0: no hover colour
    bool HoverUnderline = false;
    std::string Caption;
    // Handed to the control at Init.
    bool AutoSize = false;
    uint8_t Alignment = 0; // 0 left, 1 right, 2 centre

    void MouseEnter() override;
    void MouseLeave() override;
    void Init() override;
};
