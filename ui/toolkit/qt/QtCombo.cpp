// The combo box in the Qt backend: a drop-down list, or a drop-down with an
// edit field that only edits; the selection reported once it has settled;
// the list shows the control's items (ComboControl.cpp keeps their rules).
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QAbstractItemView>
#include <QLineEdit>

#include <algorithm>

TComboWidget::TComboWidget(TControl* control, QWidget* parent)
    : QComboBox(parent), control_(control) {}

// The open list shows at most eight items: the combo's height while open is
// its closed height times (n + 1) plus 2, n the item count within 1..8.
void TComboWidget::showPopup() {
    const int n = std::clamp(count(), 1, 8);
    const int closed = height();
    const int dropped = closed * (n + 1) + 2;
    control_->SetDroppedHeight(dropped);
    QComboBox::showPopup();
    if (QWidget* popup = view() ? view()->window() : nullptr)
        if (popup != window()) popup->resize(popup->width(), dropped - closed);
}

// Qt gives an edit field a completer, and on Enter or when the field loses
// the focus makes the item whose text matches the current one and reports it
// as chosen. The list control reports only items chosen in the list or with
// the arrow keys.
void TComboWidget::SetEditable(bool editable) {
    setEditable(editable);
    if (!editable) return;
    setCompleter(nullptr);
    QLineEdit* field = lineEdit();
    QObject::disconnect(field, &QLineEdit::returnPressed, this, nullptr);
    QObject::disconnect(field, &QLineEdit::editingFinished, this, nullptr);
}

namespace {

void ComboTextChanged(TControl& c, QComboBox* combo) {
    c.TextChangedByWindow(ToCp1251(combo->currentText()));
}

class TComboKind : public TQtKind {
public:
    QWidget* Create(TControl& c, QWidget* parent) const override {
        auto* combo = new TComboWidget(&c, parent);
        QObject::connect(combo, &QComboBox::currentTextChanged, combo,
                         [&c, combo] { ComboTextChanged(c, combo); });
        QObject::connect(combo, &QComboBox::editTextChanged, combo,
                         [&c, combo] { ComboTextChanged(c, combo); });
        // The selection is reported once the change has settled, so the
        // hook always reads the new item.
        QObject::connect(combo, qOverload<int>(&QComboBox::activated), combo, [&c, combo] {
            QMetaObject::invokeMethod(
                combo,
                [&c] {
                    if (c.hooks.selChange) c.hooks.selChange();
                },
                Qt::QueuedConnection);
        });
        return combo;
    }

    void ApplyStyles(TControl& c, QWidget* w, const TStyles& st) const override {
        auto* combo = static_cast<TComboWidget*>(w);
        const bool editable = (st.style & CBS_DROPDOWNLIST) == CBS_DROPDOWN;
        if (combo->isEditable() != editable) {
            combo->SetEditable(editable);
            if (editable) {
                combo->lineEdit()->installEventFilter(c.Impl().filter);
                c.Impl().keyTarget = combo->lineEdit();
            } else {
                c.Impl().keyTarget = combo;
            }
        }
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMaxVisibleItems(8);
    }

    void ApplyText(TControl&, QWidget* w, const QString& text) const override {
        auto* combo = static_cast<QComboBox*>(w);
        if (combo->isEditable())
            combo->setEditText(text);
        else
            combo->setCurrentIndex(combo->findText(text));
    }

    QString Text(QWidget* w) const override { return static_cast<QComboBox*>(w)->currentText(); }

    bool TakesFocus() const override { return true; }
};

QComboBox* ComboOf(const QPointer<QWidget>& w) {
    return qobject_cast<QComboBox*>(w.data());
}

} // namespace

const TQtKind& QtComboKind() {
    static const TComboKind kind;
    return kind;
}

// The selection does not move with an insertion: the list control selects
// only when asked to.
void TControl::ApplyInsertItem(int index, const std::string& text) {
    QComboBox* c = ComboOf(impl_->widget);
    if (!c) return;
    const int before = c->currentIndex();
    const QString editText = c->isEditable() ? c->currentText() : QString();
    const QSignalBlocker block(c);
    c->insertItem(index, FromCp1251(text));
    if (before < 0) {
        c->setCurrentIndex(-1);
        if (c->isEditable()) c->setEditText(editText);
    }
}

void TControl::ApplyItemText(int index, const std::string& text) {
    if (QComboBox* c = ComboOf(impl_->widget)) c->setItemText(index, FromCp1251(text));
}

void TControl::ApplyClearItems() {
    if (QComboBox* c = ComboOf(impl_->widget)) c->clear();
}

void TControl::ApplyCurSel(int index) {
    if (QComboBox* c = ComboOf(impl_->widget)) c->setCurrentIndex(index);
}

int TControl::WindowCurSel() const {
    QComboBox* c = ComboOf(impl_->widget);
    return c ? c->currentIndex() : -1;
}

void TControl::SetRedraw(bool on) {
    GuiCall([&] {
        if (QWidget* w = impl_->widget) {
            w->setUpdatesEnabled(on);
            if (on) w->update();
        }
    });
}

void TControl::ShowDropDown(bool show) {
    GuiCall([&] {
        if (QComboBox* c = ComboOf(impl_->widget)) {
            if (show)
                c->showPopup();
            else
                c->hidePopup();
        }
    });
}

bool TControl::DroppedDown() const {
    return GuiResult<bool>(
        [&] {
            QComboBox* c = ComboOf(impl_->widget);
            return c && c->view() && c->view()->isVisible();
        },
        false);
}
