#include "ui/elements/qeHintManager.h"

TQeHintManager::TQeHintManager() {
    Font = MakeFontRec("Tahoma", 8, 0, 0xFF000017, 1);
}

THintTool* TQeHintManager::CreateTool(TControl* control) {
    auto* tool = new THintTool;
    tool->control = control;
    return tool;
}

void TQeHintManager::DestroyTool(THintTool* tool) {
    if (!tool) return;
    if (tool->control) tool->control->SetToolTip("");
    delete tool;
}

void TQeHintManager::SetText(THintTool* tool, const std::string& text) {
    if (!tool) return;
    tool->text = text;
    if (tool->control) tool->control->SetToolTip(text);
}

void TQeHintManager::SetTitle(THintTool* tool, const std::string& text) {
    if (!tool) return;
    tool->title = text;
    if (tool->control)
        tool->control->SetToolTip(text.empty() ? tool->text : text + "\r\n" + tool->text);
}

// The toolkit's tips appear at the mouse by themselves; tracking needs no
// further work.
void TQeHintManager::MouseEnter(THintTool*) {}
void TQeHintManager::MouseLeave(THintTool*) {}
void TQeHintManager::MouseMove(THintTool*, int, int) {}

TQeHintManager& SharedHintManager() {
    static TQeHintManager manager;
    return manager;
}
