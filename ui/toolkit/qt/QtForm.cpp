// The form in the Qt backend: a top-level widget whose window flags follow
// the style words, sized by its client area; the close request, moving by
// the client area, the icon and activation.
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QCloseEvent>
#include <QWindow>

TFormWidget::TFormWidget(TControl* control, QWidget* owner)
    : QWidget(owner, Qt::Window), control_(control) {}

void TFormWidget::closeEvent(QCloseEvent* e) {
    // The user's close request: the form may refuse it.
    if (control_->CloseRequested(0))
        e->accept();
    else
        e->ignore();
}

// The window's outer position follows the moves of the user and the window
// system while it is shown. Before that the platform may report a frame it
// has not placed yet (offscreen: the client area where the frame goes), and
// the position is the one the program set.
void TFormWidget::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    if (isVisible()) control_->WindowMoved(frameGeometry().x(), frameGeometry().y());
}

namespace {

class TFormKind : public TOwnWidgetKind<TFormWidget> {
public:
    void ApplyStyles(TControl&, QWidget* w, const TStyles& st) const override {
        Qt::WindowFlags f = Qt::Window | Qt::CustomizeWindowHint;
        if ((st.style & WS_CAPTION) == WS_CAPTION) f |= Qt::WindowTitleHint;
        if (st.style & WS_SYSMENU) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (st.style & WS_MINIMIZEBOX) f |= Qt::WindowMinimizeButtonHint;
        if (st.style & WS_MAXIMIZEBOX) f |= Qt::WindowMaximizeButtonHint;
        if (st.exStyle & WS_EX_TOOLWINDOW) f |= Qt::Tool;
        if ((st.style & (WS_CAPTION | WS_THICKFRAME)) == 0 &&
            (st.exStyle & WS_EX_DLGMODALFRAME) == 0)
            f |= Qt::FramelessWindowHint;
        if (w->windowFlags() != f) {
            const bool shown = w->isVisible();
            w->setWindowFlags(f);
            if (shown) w->show();
        }
    }

    void ApplyText(TControl&, QWidget* w, const QString& text) const override {
        w->setWindowTitle(text);
    }

    // A form's outer size includes its frame and caption, which the window
    // system draws around the client area.
    void Place(TControl& c, QWidget* w, const TRect& r) const override {
        const TRect client = c.ClientRect();
        const QSize size(client.Width(), client.Height());
        if (c.Style() & WS_THICKFRAME) {
            w->setMinimumSize(0, 0);
            w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            w->resize(size);
        } else {
            w->setFixedSize(size);
        }
        w->move(r.left, r.top);
    }
};

} // namespace

const TQtKind& QtFormKind() {
    static const TFormKind kind;
    return kind;
}

void TControl::Close(intptr_t lParam) {
    GuiCall([&] {
        if (CloseRequested(lParam))
            if (QWidget* w = impl_->widget) w->hide();
    });
}

void TControl::DragMove() {
    GuiCall([&] {
        QWidget* w = impl_->widget;
        if (w && w->window()->windowHandle()) w->window()->windowHandle()->startSystemMove();
    });
}

void TControl::SetIcon(TIconHandle icon) {
    GuiCall([&] {
        if (QWidget* w = impl_->widget) w->setWindowIcon(ToQIcon(icon));
    });
}

TControl::TFrameShown TControl::FrameShown() const {
    return GuiResult<TFrameShown>(
        [&] {
            TFrameShown f;
            QWidget* w = impl_->widget;
            if (!w) return f;
            const Qt::WindowFlags flags = w->windowFlags();
            f.caption = flags & Qt::WindowTitleHint;
            f.sysMenu = flags & Qt::WindowSystemMenuHint;
            f.minimizeBox = flags & Qt::WindowMinimizeButtonHint;
            f.maximizeBox = flags & Qt::WindowMaximizeButtonHint;
            f.sizable = w->minimumSize() != w->maximumSize();
            return f;
        },
        TFrameShown());
}

void TControl::Activate() {
    GuiCall([&] {
        if (QWidget* w = impl_->widget) w->window()->activateWindow();
    });
}
