// The text label in the Qt backend: plain text, aligned and wrapped as the
// static control's style says, with its edge.
#include "ui/toolkit/qt/ControlWidgets.h"

#include <QLabel>

namespace {

class TLabelKind : public TQtKind {
public:
    QWidget* Create(TControl&, QWidget* parent) const override {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        return label;
    }

    void ApplyStyles(TControl&, QWidget* w, const TStyles& st) const override {
        auto* l = static_cast<QLabel*>(w);
        Qt::Alignment a = Qt::AlignTop;
        const uint32_t type = st.style & SS_TYPEMASK;
        if (type == SS_CENTER)
            a |= Qt::AlignHCenter;
        else if (type == SS_RIGHT)
            a |= Qt::AlignRight;
        else
            a |= Qt::AlignLeft;
        l->setAlignment(a);
        l->setWordWrap(type != SS_LEFTNOWORDWRAP && type <= SS_RIGHT);
        if (st.exStyle & WS_EX_CLIENTEDGE)
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        else if (st.exStyle & WS_EX_STATICEDGE)
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        else if (st.style & WS_BORDER)
            l->setFrameStyle(QFrame::Box | QFrame::Plain);
        else
            l->setFrameStyle(QFrame::NoFrame);
    }

    void ApplyText(TControl&, QWidget* w, const QString& text) const override {
        static_cast<QLabel*>(w)->setText(text);
    }

    QString Text(QWidget* w) const override { return static_cast<QLabel*>(w)->text(); }
};

} // namespace

const TQtKind& QtLabelKind() {
    static const TLabelKind kind;
    return kind;
}
