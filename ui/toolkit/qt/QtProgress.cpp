// The progress bar in the Qt backend: no text, horizontal or vertical, the
// bar in its own colour.
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QProgressBar>

namespace {

class TProgressKind : public TQtKind {
public:
    QWidget* Create(TControl& c, QWidget* parent) const override {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        bar->setRange(0, c.RangeMax());
        bar->setValue(0);
        return bar;
    }

    void ApplyStyles(TControl&, QWidget* w, const TStyles& st) const override {
        static_cast<QProgressBar*>(w)->setOrientation((st.style & PBS_VERTICAL) ? Qt::Vertical
                                                                                : Qt::Horizontal);
    }

    void ApplyPalette(TControl& c, QPalette& pal) const override {
        pal.setColor(QPalette::Highlight, ToQColor(c.BarColor()));
    }
};

} // namespace

const TQtKind& QtProgressKind() {
    static const TProgressKind kind;
    return kind;
}

void TControl::ApplyRange() {
    if (auto* p = qobject_cast<QProgressBar*>(impl_->widget.data())) p->setRange(0, RangeMax());
}

void TControl::ApplyProgress() {
    if (auto* p = qobject_cast<QProgressBar*>(impl_->widget.data())) {
        p->setValue(Progress());
        p->repaint();
    }
}
