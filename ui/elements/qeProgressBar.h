// TQeProgressBar: a bar whose position the element graph sets.
#pragma once

#include "ui/elements/Win.h"

class TQeProgressBar : public TQeWin {
public:
    using TQeWin::TQeWin;

    uint8_t Vertical = 0; // 1: vertical
    bool Smooth = false;
    int32_t Max = 100;
    uint32_t BarColor = 0x8000000D;

    void inSetPosition(TData& d, uint16_t index);
    void Init() override;
};
