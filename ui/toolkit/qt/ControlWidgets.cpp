// The event filter that turns a control widget's Qt events into the
// control's messages and hooks.
#include "ui/toolkit/qt/ControlWidgets.h"

#include "ui/toolkit/qt/KeyMap.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {

uint32_t KeysOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    uint32_t k = 0;
    if (buttons & Qt::LeftButton) k |= MK_LBUTTON;
    if (buttons & Qt::RightButton) k |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) k |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) k |= MK_SHIFT;
    if (mods & Qt::ControlModifier) k |= MK_CONTROL;
    if (mods & Qt::AltModifier) k |= 0x20;
    return k;
}

int ButtonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 3;
    default:
        return 0;
    }
}

} // namespace

bool TControlFilter::Mouse(QWidget* w, QEvent* e) {
    // An event a child did not take comes up again: it was seen already.
    if (e == lastMouse_) return false;
    lastMouse_ = e;
    QWidget* top = control_->Impl().widget.data();
    TMouseEvent m;
    QPointF local;
    uint32_t msg = 0;
    if (e->type() == QEvent::Wheel) {
        auto* we = static_cast<QWheelEvent*>(e);
        local = we->position();
        m.keys = KeysOf(we->buttons(), we->modifiers()) |
                 (uint32_t(uint16_t(int16_t(we->angleDelta().y()))) << 16);
        msg = WM_MOUSEWHEEL;
    } else {
        auto* me = static_cast<QMouseEvent*>(e);
        local = me->position();
        m.keys = KeysOf(me->buttons(), me->modifiers());
        m.button = ButtonOf(me->button());
        const uint32_t base[4] = {0, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
        switch (e->type()) {
        case QEvent::MouseMove:
            msg = WM_MOUSEMOVE;
            m.button = 0;
            break;
        case QEvent::MouseButtonPress:
            if (!m.button) return false;
            msg = base[m.button];
            break;
        case QEvent::MouseButtonRelease:
            if (!m.button) return false;
            msg = base[m.button] + 1;
            break;
        case QEvent::MouseButtonDblClick:
            if (!m.button) return false;
            msg = base[m.button] + 2;
            break;
        default:
            return false;
        }
    }
    QPoint p = local.toPoint();
    if (w != top && top) p = w->mapTo(top, p);
    m.x = int16_t(p.x());
    m.y = int16_t(p.y());
    control_->DeliverMouse(msg, m);
    // A static control notifies its click as the left button goes down.
    const TControlKind kind = control_->Kind();
    if (msg == WM_LBUTTONDOWN && (kind == TControlKind::Label || kind == TControlKind::Picture) &&
        (control_->Style() & SS_NOTIFY) && control_->hooks.click) {
        auto click = control_->hooks.click;
        click();
    }
    return false;
}

// Key routing: the form's key hooks see a key first when the control routes
// keys; then the control's own. A hook that zeroes the key swallows it; one
// that changes it makes the control see the new key instead.
bool TControlFilter::Key(QEvent* e) {
    auto* ke = static_cast<QKeyEvent*>(e);
    const bool down = e->type() == QEvent::KeyPress;
    control_->Impl().shiftHeld = ke->modifiers() & Qt::ShiftModifier;
    TControl* form = control_;
    while (form->Parent())
        form = form->Parent();
    const bool route = form != control_ && control_->KeyRouting();
    if (route) form->Impl().shiftHeld = control_->Impl().shiftHeld;
    const int vk = VirtualKeyOf(ke->key());
    int key = vk;
    if (vk) {
        TMessage m;
        m.msg = down ? WM_KEYDOWN : WM_KEYUP;
        m.wParam = uintptr_t(vk);
        if (control_->DeliverMessage(m)) return true;
        auto TControlHooks::*hook = down ? &TControlHooks::keyDown : &TControlHooks::keyUp;
        if (route && form->hooks.*hook) {
            auto f = form->hooks.*hook;
            f(key);
            if (key == 0) return true;
        }
        if (control_->hooks.*hook) {
            auto f = control_->hooks.*hook;
            f(key);
        }
        if (key == 0) return true;
        if (down && key == VK_RETURN && form->DefaultButton() &&
            form->DefaultButton() != control_) {
            if (auto* b = form->DefaultButton(); b->hooks.click) {
                auto click = b->hooks.click;
                click();
            }
            return true;
        }
        if (key != vk) {
            const int qk = QtKeyOf(key);
            if (!qk) return true;
            QKeyEvent replaced(e->type(), qk, ke->modifiers());
            QCoreApplication::sendEvent(control_->Impl().keyTarget, &replaced);
            return true;
        }
    }
    if (!down || ke->text().isEmpty()) return false;
    // The character of the key.
    const std::string bytes = ToCp1251(ke->text().left(1));
    int ch = bytes.empty() ? 0 : uint8_t(bytes[0]);
    if (route && form->hooks.keyChar) {
        auto f = form->hooks.keyChar;
        f(ch);
        if (ch == 0) return true;
    }
    if (control_->hooks.keyChar) {
        auto f = control_->hooks.keyChar;
        f(ch);
        if (ch == 0) return true;
    }
    return false;
}

bool TControlFilter::eventFilter(QObject* watched, QEvent* e) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    TControl* c = control_;
    TMessage m;
    // Reports an event of the control's own widget as `msg`; false for an
    // event of one of its parts. Qt handles the event either way.
    auto reportOwn = [&](uint32_t msg) {
        if (w != c->Impl().widget.data()) return false;
        m.msg = msg;
        c->DeliverMessage(m);
        return true;
    };
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        return Mouse(w, e);
    case QEvent::Enter:
        reportOwn(WM_MOUSEHOVER);
        return false;
    case QEvent::Leave:
        reportOwn(WM_MOUSELEAVE);
        return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (w != c->Impl().keyTarget) return false;
        return Key(e);
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (w != c->Impl().keyTarget) return false;
        m.msg = e->type() == QEvent::FocusIn ? WM_SETFOCUS : WM_KILLFOCUS;
        c->DeliverMessage(m);
        return false;
    case QEvent::Move:
        reportOwn(WM_MOVE);
        return false;
    case QEvent::Resize:
        if (!reportOwn(WM_SIZE)) return false;
        if (c->hooks.resized) {
            auto f = c->hooks.resized;
            f();
        }
        if (c->Kind() == TControlKind::Form) c->Realign();
        return false;
    default:
        return false;
    }
}
