#include "testing/ui/toolkit/Drive.h"

#include "ui/toolkit/Control.h"
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/KeyMap.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

namespace {
QString TextOfKey(int vk) {
    switch (vk) {
    case VK_RETURN:
        return QStringLiteral("\r");
    case VK_TAB:
        return QStringLiteral("\t");
    case VK_SPACE:
        return QStringLiteral(" ");
    case VK_BACK:
        return QStringLiteral("\b");
    case VK_ESCAPE:
        return QString(QChar(27));
    default:
        return {};
    }
}
} // namespace

void DriveKey(TControl* control, int vk, bool shift) {
    GuiCall([&] {
        QWidget* target = control->Impl().keyTarget;
        if (!target) return;
        int qk = QtKeyOf(vk);
        Qt::KeyboardModifiers mods = shift ? Qt::ShiftModifier : Qt::NoModifier;
        if (vk == VK_TAB && shift) qk = Qt::Key_Backtab;
        QKeyEvent press(QEvent::KeyPress, qk, mods, TextOfKey(vk));
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, qk, mods, TextOfKey(vk));
        QCoreApplication::sendEvent(target, &release);
    });
}

void DriveText(TControl* control, const std::string& text) {
    GuiCall([&] {
        QWidget* target = control->Impl().keyTarget;
        if (!target) return;
        for (QChar ch : FromCp1251(text)) {
            int qk = 0;
            const QChar up = ch.toUpper();
            if ((up >= 'A' && up <= 'Z') || (up >= '0' && up <= '9')) qk = up.unicode();
            QKeyEvent press(QEvent::KeyPress, qk, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, qk, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(target, &release);
        }
    });
}

void DriveClick(TControl* control, int x, int y, int button) {
    GuiCall([&] {
        QWidget* w = control->Impl().widget.data();
        if (!w) return;
        if (x < 0) x = w->width() / 2, y = w->height() / 2;
        const Qt::MouseButton b = button == 2   ? Qt::RightButton
                                  : button == 3 ? Qt::MiddleButton
                                                : Qt::LeftButton;
        const QPointF local(x, y);
        const QPointF global = w->mapToGlobal(local.toPoint());
        QMouseEvent press(QEvent::MouseButtonPress, local, global, b, b, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, b, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(w, &release);
    });
}

void DriveWindowClick(TControl* control, int x, int y) {
    GuiCall([&] {
        QWidget* w = control->Impl().widget.data();
        QWindow* window = w ? w->window()->windowHandle() : nullptr;
        if (!window) return;
        if (x < 0) x = w->width() / 2, y = w->height() / 2;
        const QPointF local = w->mapTo(w->window(), QPoint(x, y));
        const QPointF global = w->mapToGlobal(QPoint(x, y));
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(window, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(window, &release);
    });
}

void DriveWindowKey(TControl* control, int vk) {
    GuiCall([&] {
        QWidget* w = control->Impl().widget.data();
        QWindow* window = w ? w->window()->windowHandle() : nullptr;
        if (!window) return;
        QKeyEvent press(QEvent::KeyPress, QtKeyOf(vk), Qt::NoModifier, TextOfKey(vk));
        QCoreApplication::sendEvent(window, &press);
        QKeyEvent release(QEvent::KeyRelease, QtKeyOf(vk), Qt::NoModifier, TextOfKey(vk));
        QCoreApplication::sendEvent(window, &release);
    });
}

void DriveUserClose(TControl* form) {
    GuiCall([&] {
        if (QWidget* w = form->Impl().widget.data()) w->close();
    });
}

void DriveMouseEnter(TControl* control) {
    GuiCall([&] {
        QWidget* w = control->Impl().widget.data();
        if (!w) return;
        QEnterEvent e(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(w, &e);
    });
}

void DriveMouseLeave(TControl* control) {
    GuiCall([&] {
        QWidget* w = control->Impl().widget.data();
        if (!w) return;
        QEvent e(QEvent::Leave);
        QCoreApplication::sendEvent(w, &e);
    });
}
