// The progress bar's part of the control object: its range, position and
// bar colour.
#include "ui/toolkit/Control.h"

#include "ui/toolkit/GuiThread.h"

#include <algorithm>

void TControl::SetRange(int max) {
    Change(
        [&] {
            s_.rangeMax = max;
            s_.progress = std::clamp(s_.progress, 0, std::max(0, max));
        },
        [&] { ApplyRange(); });
}

int TControl::RangeMax() const {
    return Field(&TState::rangeMax);
}

void TControl::SetProgress(int pos) {
    Change(
        [&] {
            // The bar keeps its position within its range.
            s_.progress = std::clamp(pos, 0, std::max(0, s_.rangeMax));
        },
        [&] { ApplyProgress(); });
}

int TControl::Progress() const {
    return Field(&TState::progress);
}

void TControl::SetBarColor(uint32_t color) {
    Change([&] { s_.barColor = color; }, [&] { ApplyPalette(); });
}

uint32_t TControl::BarColor() const {
    return Field(&TState::barColor);
}
