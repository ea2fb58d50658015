// The edit in the Qt backend: a line edit that reports every change of its
// text, keeps its caret where it was when the program sets the text, and
// shows the read-only, password and alignment styles.
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QLineEdit>

#include <algorithm>

namespace {

class TEditKind : public TQtKind {
public:
    QWidget* Create(TControl& c, QWidget* parent) const override {
        auto* edit = new QLineEdit(parent);
        QObject::connect(edit, &QLineEdit::textChanged, edit,
                         [&c, edit] { c.TextChangedByWindow(ToCp1251(edit->text())); });
        return edit;
    }

    void ApplyStyles(TControl&, QWidget* w, const TStyles& st) const override {
        auto* e = static_cast<QLineEdit*>(w);
        e->setReadOnly(st.style & ES_READONLY);
        e->setEchoMode((st.style & ES_PASSWORD) ? QLineEdit::Password : QLineEdit::Normal);
        e->setFrame((st.style & WS_BORDER) || (st.exStyle & WS_EX_CLIENTEDGE));
        Qt::Alignment a = Qt::AlignVCenter;
        if (st.style & ES_CENTER)
            a |= Qt::AlignHCenter;
        else if (st.style & ES_RIGHT)
            a |= Qt::AlignRight;
        else
            a |= Qt::AlignLeft;
        e->setAlignment(a);
    }

    void ApplyText(TControl& c, QWidget* w, const QString& text) const override {
        auto* e = static_cast<QLineEdit*>(w);
        const int caret = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
        const bool same = e->text() == text;
        e->setText(text);
        e->setCursorPosition(std::min<int>(caret, int(text.size())));
        // The edit reports every change of its text, even to the same text.
        if (same && c.hooks.change) c.hooks.change();
    }

    QString Text(QWidget* w) const override { return static_cast<QLineEdit*>(w)->text(); }

    bool TakesFocus() const override { return true; }
};

} // namespace

const TQtKind& QtEditKind() {
    static const TEditKind kind;
    return kind;
}

int TControl::WindowCaretPos() const {
    auto* e = qobject_cast<QLineEdit*>(impl_->widget.data());
    if (!e) return 0;
    return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}

void TControl::ApplyCaretPos(int pos) {
    if (auto* e = qobject_cast<QLineEdit*>(impl_->widget.data())) e->setCursorPosition(pos);
}

std::string TControl::WindowSelectedText() const {
    auto* e = qobject_cast<QLineEdit*>(impl_->keyTarget.data());
    return e ? ToCp1251(e->selectedText()) : std::string();
}
