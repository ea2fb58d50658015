// TQeEdit: a one-line text field written and read by the element graph;
// Enter hands its text on and clears it.
#pragma once

#include "ui/elements/Win.h"

#include <atomic>
#include <functional>

class TQeEdit : public TQeWin {
public:
    explicit TQeEdit(TControl* parentControl);

    std::string LastText;      // the initial text given at Init (kept, not read)
    bool ReportChange = false; // a change is reported only while set
    // Set by Enter; cleared by inSetText, which may run on another thread.
    std::atomic<bool> ClearAfterEnter{false};
    // Reads the current text into a record; the element's own reader by default.
    std::function<bool(TData&)> TextReader;
    bool Password = false;
    std::string Text;
    bool ReadOnly = false;
    uint8_t Alignment = 0;
    TEventLink srcText;
    TEventLink onEnter;
    TEventLink onChange;

    void inSetText(TData& d, uint16_t index);
    void valText(TData& d, uint16_t index);

    // The element's own reader: the window text as a String; always succeeds.
    bool ReadWindowText(TData& d);

    void KeyDown(int& key) override;
    void Init() override;

private:
    void Changed();
};
