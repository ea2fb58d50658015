// TQeSimpleForm: the program's window. Fires onCreate at start before the
// window is shown, asks srcBlockClose before a user close, and switches the
// element graph off when a close is accepted.
#pragma once

#include "ui/elements/SimpleWin.h"
#include "ui/toolkit/Bitmap.h"

#include <string>

class TQeSimpleForm : public TQeSimpleWin {
public:
    // The main form has no parent control.
    explicit TQeSimpleForm(TControl* parentControl = nullptr);

    bool ShownOnce = false;
    bool DragByClient = false;
    TEventLink srcBlockClose;
    TEventLink onCreate;
    TEventLink onClose;

    // Applied by Init: window text (also the application's), border style
    // 0..9 (-1 keeps the default frame; above 9 is ignored), icon (a null
    // icon takes the parent form's, or none) and the taskbar button switch.
    std::string Caption;
    int BorderStyle = -1;
    TIconHandle Icon = nullptr;
    bool HideTaskButton = false;

    void inClose(TData& d, uint16_t index);

    // Called once by the program entry: dispatch goes live and the start-up
    // queue runs (the form's own start fires onCreate, then shows it).
    void Start();

    void MouseDown(const TMouseEvent& m) override;
    bool Message(TMessage& m) override;
    void Shown() override;
    void Init() override;

private:
    static void StartProc(void* self);
};
