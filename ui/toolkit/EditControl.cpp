// The edit's part of the control object: the change of its text, by the
// user or by the program. A combo box's edit field reports its text here too,
// without the change hook.
#include "ui/toolkit/Control.h"

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
