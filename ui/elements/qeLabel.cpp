#include "ui/elements/qeLabel.h"

TQeLabel::TQeLabel(TControl* parentControl) : TQeWin(parentControl) {
    Control = new TControl(TControlKind::Label, ParentControl);
    Control->hooks.click = [this] { FireNull(onClick); };
}

void TQeLabel::MouseEnter() {
    TQeWin::MouseEnter();
    if (HoverColor != 0) Control->SetFontColor(HoverColor);
    if (HoverUnderline) Control->SetFontStyle(Control->Font().Style | fs_underline);
}

void TQeLabel::MouseLeave() {
    TQeWin::MouseLeave();
    if (HoverColor != 0) Control->SetFontColor(Font.Color);
    if (HoverUnderline) Control->SetFontStyle(Control->Font().Style & ~fs_underline);
}

void TQeLabel::Init() {
    Control->SetTextAlign(Alignment);
    Control->SetAutoSize(AutoSize);
    InitWin();
    Control->SetText(Caption);
}
