// The picture box in the Qt backend: a frame whose client area the
// element's paint hook draws, or the background colour fills.
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QPainter>

TPictureWidget::TPictureWidget(TControl* control, QWidget* parent)
    : QFrame(parent), control_(control) {}

void TPictureWidget::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e); // the edge, if any
    QPainter painter(this);
    const QRect client = contentsRect();
    painter.setClipRect(client);
    painter.translate(client.topLeft());
    TQtCanvas canvas(painter);
    if (control_->hooks.paint) {
        control_->hooks.paint(canvas);
    } else {
        const TRect r = control_->ClientRect();
        canvas.FillRect(r, control_->Color());
    }
}

namespace {

class TPictureKind : public TOwnWidgetKind<TPictureWidget> {
public:
    void ApplyStyles(TControl&, QWidget* w, const TStyles& st) const override {
        auto* p = static_cast<QFrame*>(w);
        if (st.exStyle & WS_EX_CLIENTEDGE)
            p->setFrameStyle(QFrame::Panel | QFrame::Sunken), p->setLineWidth(2);
        else if (st.exStyle & WS_EX_STATICEDGE)
            p->setFrameStyle(QFrame::Panel | QFrame::Sunken), p->setLineWidth(1);
        else if (st.style & WS_BORDER)
            p->setFrameStyle(QFrame::Box | QFrame::Plain), p->setLineWidth(1);
        else
            p->setFrameStyle(QFrame::NoFrame);
    }
};

} // namespace

const TQtKind& QtPictureKind() {
    static const TPictureKind kind;
    return kind;
}

void TControl::Invalidate() {
    GuiCall([&] {
        if (QWidget* w = impl_->widget) w->update();
    });
}
