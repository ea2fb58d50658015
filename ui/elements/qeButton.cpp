#include "ui/elements/qeButton.h"

void TQeButton::Init() {
    Control = new TControl(TControlKind::Button, ParentControl);
    Control->SetText(Caption);
    Control->hooks.click = [this] { FireCopy(onClick, Data); };
    if (ParentControl) {
        if (Default) {
            ParentControl->SetDefaultButton(Control);
            Control->SetStyle(Control->Style() | BS_DEFPUSHBUTTON);
        } else if (ParentControl->DefaultButton() == Control) {
            ParentControl->SetDefaultButton(nullptr);
        }
    }
    Control->SetStyle(Control->Style() | BS_MULTILINE);
    InitWin();
}
