// The Qt backend of the control object: a Qt widget renders the state.
#include "ui/toolkit/Control.h"

#include "runtime/Strings.h"
#include "runtime/Text1251.h"
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/InputGate.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolTip>
#include <QWindow>

#include <algorithm>

namespace {

// Windows text uses CR LF for a line break; Qt widgets use LF.
QString ToWidgetText(const std::string& text) {
    std::string t = text;
    ReplaceAll(t, "\r\n", "\n");
    return FromCp1251(t);
}

// Runs fn on the GUI thread and gives its result; `def` when the call was
// dropped after close.
template <class R, class F> R OnGui(F&& fn, R def) {
    R result = def;
    GuiCall([&] { result = fn(); });
    return result;
}

// The widget's text changed (by the user or by the program).
void WidgetTextChanged(TControl* c) {
    QWidget* w = c->Impl().widget;
    if (!w) return;
    QString t;
    if (c->Kind() == TControlKind::Edit) t = static_cast<QLineEdit*>(w)->text();
    if (c->Kind() == TControlKind::Combo) t = static_cast<QComboBox*>(w)->currentText();
    c->TextChangedByWindow(ToCp1251(t));
}

// A control that is disabled or hidden while it has the focus leaves the
// focus with its form, which is no control; Qt would hand it to the next
// control (and a read-only edit that gets it by Tab selects all its text).
// With the form as its window's focus, Qt also gives the focus back to the
// form, not to the first control, when the window is activated again.
void FocusToForm(TControl& c) {
    QWidget* w = c.Impl().widget;
    if (!w || c.Kind() == TControlKind::Form) return;
    QWidget* window = w->window();
    QWidget* focus = window->focusWidget();
    if (focus && (focus == w || w->isAncestorOf(focus))) window->setFocus(Qt::OtherFocusReason);
}

} // namespace

TControl::TImpl* TControl::NewImpl() {
    return new TImpl;
}

void TControl::TImplDeleter::operator()(TImpl* impl) const {
    delete impl;
}

void TControl::CreateWindowOf(TControl* parent) {
    QWidget* parentWidget = parent ? parent->impl_->widget.data() : nullptr;
    QWidget* w = nullptr;
    switch (kind_) {
    case TControlKind::Form:
        w = new TFormWidget(this, parentWidget);
        break;
    case TControlKind::Button: {
        auto* button = new QPushButton(parentWidget);
        // Clicked by the mouse, or by Space while it has the focus.
        QObject::connect(button, &QPushButton::clicked, button, [this] {
            if (hooks.click) {
                auto click = hooks.click;
                click();
            }
        });
        w = button;
        break;
    }
    case TControlKind::Label: {
        auto* label = new QLabel(parentWidget);
        label->setTextFormat(Qt::PlainText);
        w = label;
        break;
    }
    case TControlKind::Picture:
        w = new TPictureWidget(this, parentWidget);
        break;
    case TControlKind::Edit: {
        auto* edit = new QLineEdit(parentWidget);
        QObject::connect(edit, &QLineEdit::textChanged, edit, [this] { WidgetTextChanged(this); });
        w = edit;
        break;
    }
    case TControlKind::Combo: {
        auto* combo = new TComboWidget(this, parentWidget);
        QObject::connect(combo, &QComboBox::currentTextChanged, combo,
                         [this] { WidgetTextChanged(this); });
        QObject::connect(combo, &QComboBox::editTextChanged, combo,
                         [this] { WidgetTextChanged(this); });
        // The selection is reported once the change has settled, so the
        // hook always reads the new item.
        QObject::connect(combo, qOverload<int>(&QComboBox::activated), combo, [this, combo] {
            QMetaObject::invokeMethod(
                combo,
                [this] {
                    if (hooks.selChange) hooks.selChange();
                },
                Qt::QueuedConnection);
        });
        w = combo;
        break;
    }
    case TControlKind::Progress: {
        auto* bar = new QProgressBar(parentWidget);
        bar->setTextVisible(false);
        bar->setRange(0, s_.rangeMax);
        bar->setValue(0);
        w = bar;
        break;
    }
    }
    impl_->widget = w;
    impl_->keyTarget = w;
    if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
        impl_->keyTarget = combo->lineEdit();
    impl_->filter = new TControlFilter(this);
    impl_->filter->setParent(w);
    w->installEventFilter(impl_->filter);
    if (impl_->keyTarget != w) impl_->keyTarget->installEventFilter(impl_->filter);
    w->setMouseTracking(true);
    QObject::connect(w, &QObject::destroyed, [this] { WindowDestroyed(); });
    ApplyStyles();
    ApplyPalette();
    w->setFont(ToQFont(s_.font));
    w->setVisible(s_.visible);
}

void TControl::DestroyWindowOf() {
    if (QWidget* w = impl_->widget) {
        w->removeEventFilter(impl_->filter);
        w->hide();
        delete w;
    }
}

// Makes the widget show what the style words say.
void TControl::ApplyStyles() {
    QWidget* w = impl_->widget;
    if (!w) return;
    TStyles st;
    int textAlign;
    {
        std::lock_guard lock(mutex_);
        st = s_.styles;
        textAlign = s_.textAlign;
    }
    switch (kind_) {
    case TControlKind::Form: {
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
        break;
    }
    case TControlKind::Button: {
        auto* b = static_cast<QPushButton*>(w);
        b->setFlat(st.style & BS_FLAT);
        b->setDefault(st.style & BS_DEFPUSHBUTTON);
        break;
    }
    case TControlKind::Label: {
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
        break;
    }
    case TControlKind::Picture: {
        auto* p = static_cast<QFrame*>(w);
        if (st.exStyle & WS_EX_CLIENTEDGE)
            p->setFrameStyle(QFrame::Panel | QFrame::Sunken), p->setLineWidth(2);
        else if (st.exStyle & WS_EX_STATICEDGE)
            p->setFrameStyle(QFrame::Panel | QFrame::Sunken), p->setLineWidth(1);
        else if (st.style & WS_BORDER)
            p->setFrameStyle(QFrame::Box | QFrame::Plain), p->setLineWidth(1);
        else
            p->setFrameStyle(QFrame::NoFrame);
        break;
    }
    case TControlKind::Edit: {
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
        break;
    }
    case TControlKind::Combo: {
        auto* c = static_cast<TComboWidget*>(w);
        const bool editable = (st.style & CBS_DROPDOWNLIST) == CBS_DROPDOWN;
        if (c->isEditable() != editable) {
            c->SetEditable(editable);
            if (editable) {
                c->lineEdit()->installEventFilter(impl_->filter);
                impl_->keyTarget = c->lineEdit();
            } else {
                impl_->keyTarget = c;
            }
        }
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setMaxVisibleItems(8);
        break;
    }
    case TControlKind::Progress: {
        auto* p = static_cast<QProgressBar*>(w);
        p->setOrientation((st.style & PBS_VERTICAL) ? Qt::Vertical : Qt::Horizontal);
        break;
    }
    }
    (void)textAlign;
    const bool tabStop = st.style & WS_TABSTOP;
    if (kind_ == TControlKind::Button || kind_ == TControlKind::Edit ||
        kind_ == TControlKind::Combo)
        w->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

// Moves the widget to the state's place; a form's outer size includes its
// frame and caption, which the window system draws around the client area.
void TControl::ApplyGeometry() {
    QWidget* w = impl_->widget;
    if (!w) return;
    TRect r = AlignedRect();
    if (kind_ == TControlKind::Form) {
        TStyles st;
        {
            std::lock_guard lock(mutex_);
            st = s_.styles;
        }
        const TRect client = ClientRect();
        const QSize size(client.Width(), client.Height());
        if (st.style & WS_THICKFRAME) {
            w->setMinimumSize(0, 0);
            w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            w->resize(size);
        } else {
            w->setFixedSize(size);
        }
        w->move(r.left, r.top);
        return;
    }
    w->setGeometry(r.left, r.top, r.Width(), r.Height());
}

void TControl::ApplyVisible(bool visible) {
    QWidget* w = impl_->widget;
    if (!w) return;
    if (!visible) FocusToForm(*this);
    w->setVisible(visible);
    if (visible && kind_ == TControlKind::Form) {
        w->raise();
        w->activateWindow();
    }
}

// A disabled form refuses input and leaves its controls' look alone (the
// gate); a disabled control is greyed as its kind draws it.
void TControl::ApplyEnabled(bool enabled) {
    QWidget* w = impl_->widget;
    if (!w) return;
    if (kind_ == TControlKind::Form) {
        SetInputRefused(w, !enabled);
        return;
    }
    if (!enabled) FocusToForm(*this);
    w->setEnabled(enabled);
}

void TControl::ApplyWindowText(const std::string& text) {
    {
        QWidget* w = impl_->widget;
        if (w) {
            const QString t = ToWidgetText(text);
            switch (kind_) {
            case TControlKind::Form:
                w->setWindowTitle(t);
                break;
            case TControlKind::Button:
                static_cast<QPushButton*>(w)->setText(t);
                break;
            case TControlKind::Label:
                static_cast<QLabel*>(w)->setText(t);
                break;
            case TControlKind::Edit: {
                auto* e = static_cast<QLineEdit*>(w);
                const int caret = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
                const bool same = e->text() == t;
                e->setText(t);
                e->setCursorPosition(std::min<int>(caret, int(t.size())));
                // The edit reports every change of its text, even to the
                // same text.
                if (same && hooks.change) hooks.change();
                break;
            }
            case TControlKind::Combo: {
                auto* c = static_cast<QComboBox*>(w);
                if (c->isEditable())
                    c->setEditText(t);
                else
                    c->setCurrentIndex(c->findText(t));
                break;
            }
            default:
                break;
            }
        }
    }
}

void TControl::ApplyPalette() {
    QWidget* w = impl_->widget;
    if (!w) return;
    uint32_t color, textColor, barColor;
    bool transparent;
    {
        std::lock_guard lock(mutex_);
        color = s_.color;
        textColor = s_.font.Color;
        barColor = s_.barColor;
        transparent = s_.transparent;
    }
    QPalette pal = w->palette();
    const QColor bg = ToQColor(color);
    const QColor fg = ToQColor(textColor);
    for (auto role : {QPalette::Window, QPalette::Base})
        pal.setColor(role, bg);
    if (kind_ == TControlKind::Button) pal.setColor(QPalette::Button, bg);
    for (auto group : {QPalette::Active, QPalette::Inactive})
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            pal.setColor(group, role, fg);
    if (kind_ == TControlKind::Progress) pal.setColor(QPalette::Highlight, ToQColor(barColor));
    w->setPalette(pal);
    w->setAutoFillBackground(!transparent);
    w->update();
}

void TControl::ApplyFont() {
    TFontRec font = Font();
    if (QWidget* w = impl_->widget) w->setFont(ToQFont(font));
}

bool TControl::MeasureText(const std::string& text, const TFontRec& font, int& width, int& height,
                           int& lineHeight) const {
    if (!impl_->widget) return false;
    QFontMetrics fm(ToQFont(font));
    const QRect box = fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop,
                                      ToWidgetText(text));
    width = box.width();
    height = box.height();
    lineHeight = fm.height();
    return true;
}

bool TControl::ShiftHeld() const {
    return impl_->shiftHeld;
}

void TControl::ApplyToolTip() {
    if (QWidget* w = impl_->widget) w->setToolTip(FromCp1251(ToolTip()));
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

void TControl::SetFocus() {
    GuiCall([&] {
        if (impl_->keyTarget) impl_->keyTarget->setFocus(Qt::OtherFocusReason);
    });
}

bool TControl::Focused() const {
    return OnGui<bool>(
        [&] {
            QWidget* f = QApplication::focusWidget();
            return f && (f == impl_->widget || f == impl_->keyTarget);
        },
        false);
}

void TControl::BringToTop() {
    GuiCall([&] {
        if (QWidget* w = impl_->widget) w->raise();
    });
}

// ---- form ----

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

// ---- edit ----

int TControl::CaretPos() const {
    return OnGui<int>(
        [&] {
            auto* e = qobject_cast<QLineEdit*>(impl_->widget.data());
            if (!e) return 0;
            return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
        },
        0);
}

std::string TControl::SelectedText() const {
    return OnGui<std::string>(
        [&] {
            auto* e = qobject_cast<QLineEdit*>(impl_->keyTarget.data());
            return e ? ToCp1251(e->selectedText()) : std::string();
        },
        std::string());
}

void TControl::SetCaretPos(int pos) {
    GuiCall([&] {
        if (auto* e = qobject_cast<QLineEdit*>(impl_->widget.data())) e->setCursorPosition(pos);
    });
}

// ---- combo box ----

namespace {
QComboBox* ComboOf(const QPointer<QWidget>& w) {
    return qobject_cast<QComboBox*>(w.data());
}

// Adds or inserts an item without the selection moving: the list control
// selects only when asked to.
int InsertKeepingSelection(QComboBox* c, int index, const QString& text) {
    const int before = c->currentIndex();
    const QString editText = c->isEditable() ? c->currentText() : QString();
    const QSignalBlocker block(c);
    c->insertItem(index, text);
    if (before < 0) {
        c->setCurrentIndex(-1);
        if (c->isEditable()) c->setEditText(editText);
    }
    return index;
}
} // namespace

int TControl::AddItem(const std::string& text) {
    return OnGui<int>(
        [&] {
            QComboBox* c = ComboOf(impl_->widget);
            if (!c) return -1;
            int index = c->count();
            if (Style() & CBS_SORT) {
                const std::string key = AnsiLowerCase1251(text);
                index = 0;
                while (index < c->count() && AnsiLowerCase1251(ToCp1251(c->itemText(index))) <= key)
                    ++index;
            }
            return InsertKeepingSelection(c, index, FromCp1251(text));
        },
        -1);
}

int TControl::InsertItem(int index, const std::string& text) {
    return OnGui<int>(
        [&] {
            QComboBox* c = ComboOf(impl_->widget);
            if (!c || index < -1 || index > c->count()) return -1;
            if (index == -1) index = c->count();
            return InsertKeepingSelection(c, index, FromCp1251(text));
        },
        -1);
}

int TControl::ItemCount() const {
    return OnGui<int>(
        [&] {
            QComboBox* c = ComboOf(impl_->widget);
            return c ? c->count() : 0;
        },
        0);
}

std::string TControl::ItemText(int index) const {
    return OnGui<std::string>(
        [&] {
            QComboBox* c = ComboOf(impl_->widget);
            if (!c || index < 0 || index >= c->count()) return std::string();
            return ToCp1251(c->itemText(index));
        },
        std::string());
}

void TControl::SetItemText(int index, const std::string& text) {
    GuiCall([&] {
        QComboBox* c = ComboOf(impl_->widget);
        if (c && index >= 0 && index < c->count()) c->setItemText(index, FromCp1251(text));
    });
}

int TControl::ItemData(int index) const {
    return OnGui<int>(
        [&] {
            QComboBox* c = ComboOf(impl_->widget);
            if (!c || index < 0 || index >= c->count()) return -1;
            const QVariant v = c->itemData(index);
            return v.isValid() ? v.toInt() : 0;
        },
        -1);
}

void TControl::SetItemData(int index, int data) {
    GuiCall([&] {
        QComboBox* c = ComboOf(impl_->widget);
        if (c && index >= 0 && index < c->count()) c->setItemData(index, data);
    });
}

void TControl::SetCurSel(int index) {
    GuiCall([&] {
        if (QComboBox* c = ComboOf(impl_->widget))
            c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    });
}

int TControl::CurSel() const {
    return OnGui<int>(
        [&] {
            QComboBox* c = ComboOf(impl_->widget);
            return c ? c->currentIndex() : -1;
        },
        -1);
}

void TControl::ResetContent() {
    GuiCall([&] {
        if (QComboBox* c = ComboOf(impl_->widget)) c->clear();
    });
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
    return OnGui<bool>(
        [&] {
            QComboBox* c = ComboOf(impl_->widget);
            return c && c->view() && c->view()->isVisible();
        },
        false);
}

// ---- picture box, screenshots ----

void TControl::Invalidate() {
    GuiCall([&] {
        if (QWidget* w = impl_->widget) w->update();
    });
}

bool TControl::SaveScreenshot(const std::string& path) const {
    return OnGui<bool>(
        [&] {
            QWidget* w = impl_->widget;
            return w && w->grab().save(QString::fromStdString(path), "PNG");
        },
        false);
}

TPixels TControl::Render() const {
    return OnGui<TPixels>(
        [&] {
            TPixels pixels;
            QWidget* w = impl_->widget;
            if (!w) return pixels;
            const QImage image = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
            pixels.width = image.width();
            pixels.height = image.height();
            pixels.colors.reserve(std::size_t(pixels.width) * std::size_t(pixels.height));
            for (int y = 0; y < image.height(); ++y) {
                const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    pixels.colors.push_back(Rgb(qRed(row[x]), qGreen(row[x]), qBlue(row[x])));
            }
            return pixels;
        },
        TPixels());
}

TRect TControl::DrawnRect() const {
    return OnGui<TRect>(
        [&] {
            QWidget* w = impl_->widget;
            if (!w) return TRect();
            const QRect g = kind_ == TControlKind::Form ? w->rect() : w->geometry();
            return TRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        },
        TRect());
}

bool TControl::WindowVisible() const {
    return OnGui<bool>([&] { return impl_->widget && impl_->widget->isVisible(); }, false);
}

std::string TControl::WindowText() const {
    return OnGui<std::string>(
        [&] {
            QWidget* w = impl_->widget;
            if (!w) return std::string();
            QString t;
            if (auto* e = qobject_cast<QLineEdit*>(w))
                t = e->text();
            else if (auto* c = qobject_cast<QComboBox*>(w))
                t = c->currentText();
            else if (auto* l = qobject_cast<QLabel*>(w))
                t = l->text();
            else if (auto* b = qobject_cast<QPushButton*>(w))
                t = b->text();
            else
                t = w->windowTitle();
            t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
            return ToCp1251(t);
        },
        std::string());
}

TControl::TFrameShown TControl::FrameShown() const {
    return OnGui<TFrameShown>(
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
