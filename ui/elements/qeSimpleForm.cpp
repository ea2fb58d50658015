#include "ui/elements/qeSimpleForm.h"

#include "ui/toolkit/Application.h"

TQeSimpleForm::TQeSimpleForm(TControl* parentControl) : TQeSimpleWin(parentControl) {
    TApplication::Instance();
    Control = new TControl(TControlKind::Form, parentControl);
    Control->hooks.shown = [this] { Shown(); };
    AddStartHandler(&TQeSimpleForm::StartProc, this);
}

void TQeSimpleForm::Start() {
    if (TApplication::Exists()) TApplication::Instance().SetVisible(Visible);
    EnableDispatch();
    RunStartHandlers();
}

void TQeSimpleForm::StartProc(void* self) {
    auto* form = static_cast<TQeSimpleForm*>(self);
    FireNull(form->onCreate);
    form->Control->SetVisible(form->Visible);
}

void TQeSimpleForm::inClose(TData&, uint16_t) {
    // The program's close: srcBlockClose is not asked.
    Control->Close(1);
}

void TQeSimpleForm::MouseDown(const TMouseEvent& m) {
    if (DragByClient) Control->DragMove();
    TQeSimpleWin::MouseDown(m);
}

bool TQeSimpleForm::Message(TMessage& m) {
    TApplication& app = TApplication::Instance();
    switch (m.msg) {
    case WM_MOVE:
        app.MoveTo(Control->Left(), Control->Top());
        break;
    case WM_SIZE:
        app.SetWidth(Control->Width());
        break;
    case WM_CLOSE:
        // A user close (parameter 0) may be refused by srcBlockClose.
        if (m.lParam == 0 && PullInteger(srcBlockClose) != 0) return true;
        FireNull(onClose);
        DisableDispatch();
        break;
    default:
        break;
    }
    return TQeSimpleWin::Message(m);
}

void TQeSimpleForm::Shown() {
    ShownOnce = true;
    TQeSimpleWin::Shown();
}

void TQeSimpleForm::Init() {
    TApplication& app = TApplication::Instance();
    if (!Caption.empty()) {
        Control->SetText(Caption);
        if (app.MainForm() == Control) app.SetCaption(Caption);
    }
    if (BorderStyle >= 0) Control->SetBorderStyle(BorderStyle);
    if (app.MainForm() == Control && Icon) app.SetIcon(Icon);
    // A null icon leaves the window with its owner's icon.
    if (Icon) Control->SetIcon(Icon);
    if (HideTaskButton && app.MainForm() == Control) app.SetExStyle(0x81);
    // The window is always created hidden; the start shows it.
    const bool visible = Visible;
    Visible = false;
    TQeSimpleWin::Init();
    Visible = visible;
    Control->hooks.shown = [this] { Shown(); };
}
