#include "ui/toolkit/qt/InputGate.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::Enter:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        // Leave and HoverLeave pass, so that no hover state stays behind.
        return false;
    }
}

// Sees every event of the GUI thread before its receiver does. The window
// system's input comes to a form's window, which hands it on to a control
// (giving the control the focus on a click before the control's own filters
// see it), so it is refused there; input sent to a control directly is
// refused at the control.
class TInputGate : public QObject {
public:
    std::vector<QPointer<QWidget>> refused;

    bool eventFilter(QObject* receiver, QEvent* e) override {
        if (refused.empty() || !IsInput(e->type())) return false;
        if (receiver->isWidgetType()) return Refuses(static_cast<QWidget*>(receiver)->window());
        if (receiver->isWindowType()) {
            for (const QPointer<QWidget>& form : refused)
                if (form && form->windowHandle() == receiver) return true;
        }
        return false;
    }

    bool Refuses(const QWidget* window) const {
        return std::any_of(refused.begin(), refused.end(),
                           [&](const QPointer<QWidget>& form) { return form == window; });
    }
};

TInputGate* Gate() {
    static TInputGate* gate = [] {
        auto* g = new TInputGate;
        g->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(g);
        return g;
    }();
    return gate;
}

// The popups of the form's controls take input of their own: they close, as
// they do when the user clicks elsewhere.
void ClosePopupsOf(QWidget* form) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || top->windowType() != Qt::Popup) continue;
        QWidget* owner = top->parentWidget();
        if (owner && owner->window() == form) top->close();
    }
}

} // namespace

void SetInputRefused(QWidget* form, bool refused) {
    TInputGate* gate = Gate();
    std::erase_if(gate->refused, [&](const QPointer<QWidget>& f) { return !f || f == form; });
    if (!refused) return;
    gate->refused.push_back(form);
    ClosePopupsOf(form);
}
