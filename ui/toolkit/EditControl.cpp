// The edit's part of the control object: its caret and selection, and the
// change of its text, by the user or by the program. A combo box's edit field reports its text here
// too, without the change hook.
#include "ui/toolkit/Control.h"

int TControl::CaretPos() const {
    return GuiResult<int>([&] { return WindowCaretPos(); }, 0);
}

void TControl::SetCaretPos(int pos) {
    GuiCall([&] { ApplyCaretPos(pos); });
}

// An edit's selected text, or that of a combo box's edit field.
std::string TControl::SelectedText() const {
    return GuiResult<std::string>([&] { return WindowSelectedText(); }, std::string());
}

void TControl::TextChangedByWindow(const std::string& text) {
    if (!applyingText_ || kind_ != TControlKind::Edit) {
        std::lock_guard lock(mutex_);
        s_.text = text;
    }
    if (kind_ == TControlKind::Edit && hooks.change) {
        auto change = hooks.change;
        change();
    }
}
