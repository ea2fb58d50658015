// The form's part of the control object: its border, the close request, Tab
// navigation through its controls and the button that answers Enter.
#include "ui/toolkit/Control.h"

#include "ui/toolkit/Application.h"
#include "ui/toolkit/GuiThread.h"

#include <algorithm>

void TControl::SetBorderStyle(int n) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            if (!ApplyBorderStyle(s_.styles, n)) return;
        }
        Restyle();
    });
}

void TControl::WindowMoved(int left, int top) {
    if (kind_ == TControlKind::Form) {
        std::lock_guard lock(mutex_);
        s_.left = left;
        s_.top = top;
    }
}

bool TControl::CloseRequested(intptr_t lParam) {
    TMessage m;
    m.msg = WM_CLOSE;
    m.lParam = lParam;
    if (DeliverMessage(m)) return false; // refused
    bool wasVisible;
    {
        std::lock_guard lock(mutex_);
        wasVisible = s_.visible;
        s_.visible = false;
    }
    if (wasVisible && hooks.hidden) hooks.hidden();
    if (TApplication::Exists() && TApplication::Instance().MainForm() == this)
        TApplication::Instance().MainFormClosed();
    return true;
}

std::vector<TControl*> TControl::TabSequence() const {
    std::vector<TControl*> seq;
    for (TControl* c : tabOrder_) {
        if (!(c->Style() & WS_TABSTOP) || !c->Visible() || !c->Enabled()) continue;
        if (c->kind_ == TControlKind::Label || c->kind_ == TControlKind::Picture ||
            c->kind_ == TControlKind::Progress)
            continue;
        seq.push_back(c);
    }
    return seq;
}

void TControl::InstallTabNavigation() {
    hooks.keyDown = [this](int& key) {
        if (key != VK_TAB) return;
        std::vector<TControl*> seq = TabSequence();
        if (seq.empty()) return;
        int current = -1;
        for (std::size_t i = 0; i < seq.size(); ++i)
            if (seq[i]->Focused()) current = int(i);
        const int n = int(seq.size());
        int next;
        if (ShiftHeld())
            next = current <= 0 ? n - 1 : current - 1;
        else
            next = current < 0 || current == n - 1 ? 0 : current + 1;
        seq[std::size_t(next)]->SetFocus();
        key = 0;
    };
}

void TControl::SetDefaultButton(TControl* button) {
    defaultButton_ = button;
}

TControl* TControl::DefaultButton() const {
    return defaultButton_;
}
