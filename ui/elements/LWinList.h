// TQeLWinList: a list element that can be filled from a multi-line text.
#pragma once

#include "ui/elements/WinList.h"

class TQeLWinList : public TQeWinList {
public:
    using TQeWinList::TQeWinList;

    void SetItems(const std::string& text) override;
};

// The lines of a text: cut at each CR, a CR LF pair counting as one break;
// a lone LF does not break. A text ending in a break has no empty last line.
std::vector<std::string> SplitItemLines(const std::string& text);
