// TQeSimpleWin: the base of an element with its own top-level window (the
// form): the shared window part, applied in one Init.
#pragma once

#include "ui/elements/WinBase.h"

class TQeSimpleWin : public TQeWinBase {
public:
    explicit TQeSimpleWin(TControl* parentControl) : TQeWinBase(parentControl) {}

    void Init() override;
};
