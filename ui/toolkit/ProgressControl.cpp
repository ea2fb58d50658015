// The progress bar's part of the control object: its range, position and
// bar colour.
#include "ui/toolkit/Control.h"

#include "ui/toolkit/GuiThread.h"

#include <algorithm>

void TControl::SetRange(int max) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.rangeMax = max;
            s_.progress = std::clamp(s_.progress, 0, std::max(0, max));
        }
        ApplyRange();
    });
}

int TControl::RangeMax() const {
    std::lock_guard lock(mutex_);
    return s_.rangeMax;
}

void TControl::SetProgress(int pos) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            // The bar keeps its position within its range.
            s_.progress = std::clamp(pos, 0, std::max(0, s_.rangeMax));
        }
        ApplyProgress();
    });
}

int TControl::Progress() const {
    std::lock_guard lock(mutex_);
    return s_.progress;
}

void TControl::SetBarColor(uint32_t color) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.barColor = color;
        }
        ApplyPalette();
    });
}

uint32_t TControl::BarColor() const {
    std::lock_guard lock(mutex_);
    return s_.barColor;
}
