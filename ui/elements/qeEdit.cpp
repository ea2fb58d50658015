#include "ui/elements/qeEdit.h"

TQeEdit::TQeEdit(TControl* parentControl) : TQeWin(parentControl) {
    TextReader = [this](TData& d) { return ReadWindowText(d); };
}

bool TQeEdit::ReadWindowText(TData& d) {
    SetString(d, Control->Text());
    return true;
}

void TQeEdit::inSetText(TData& d, uint16_t) {
    const std::string text = ReadString(d, srcText, "");
    // The toolkit keeps the caret where it was. When nobody listens for
    // changes, only the latest text needs to reach the window.
    Control->SetText(text, !onChange.Connected());
    ClearAfterEnter = false;
}

void TQeEdit::valText(TData& d, uint16_t) {
    if (!TextReader || !TextReader(d)) SetNull(d);
}

void TQeEdit::KeyDown(int& key) {
    if (!onEnter.Connected() || key != VK_RETURN) {
        TQeWin::KeyDown(key);
        return;
    }
    TData text;
    if (TextReader && TextReader(text)) {
        ClearAfterEnter = true;
        FireCopy(onEnter, text);
        // Text set during onEnter stays; otherwise the field is cleared and
        // the clearing is not reported.
        if (ClearAfterEnter) {
            ReportChange = false;
            Control->SetText("");
        }
    }
    key = 0;
}

void TQeEdit::Changed() {
    TData text;
    if (ReportChange && TextReader && TextReader(text)) FireCopy(onChange, text);
    ReportChange = true;
}

void TQeEdit::Init() {
    uint32_t options = 0;
    if (Password) options |= 1u << 6;
    if (ReadOnly) options |= 1u << 7;
    Control = new TControl(TControlKind::Edit, ParentControl, options);
    Control->SetTextAlign(Alignment);
    InitWin();
    Control->hooks.change = [this] { Changed(); };
    Control->SetText(Text);
    LastText = Text;
}
