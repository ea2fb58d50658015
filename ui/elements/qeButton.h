// TQeButton: a push button that fires a copy of Data when clicked.
#pragma once

#include "ui/elements/Win.h"

class TQeButton : public TQeWin {
public:
    using TQeWin::TQeWin;

    TEventLink onClick;
    TData Data; // sent with every click; NULL by default
    std::string Caption;
    bool Default = false; // the button answers Enter in the form

    void Init() override;
};
