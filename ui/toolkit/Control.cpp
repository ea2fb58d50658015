#include "ui/toolkit/Control.h"

#include "runtime/Text1251.h"
#include "ui/toolkit/Application.h"
#include "ui/toolkit/ControlWidgets.h"
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/InputGate.h"
#include "ui/toolkit/QtBridge.h"

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
#include <atomic>

namespace {

std::atomic<int> g_nextId{1};

// Windows text uses CR LF for a line break; Qt widgets use LF.
QString ToWidgetText(const std::string& text) {
    std::string t = text;
    ReplaceAll(t, "\r\n", "\n");
    return FromCp1251(t);
}

TFontRec DefaultFont() {
    return MakeFontRec("MS Sans Serif", 8, 0, 0, 1);
}

// Runs fn on the GUI thread and gives its result; `def` when the call was
// dropped after close.
template <class R, class F> R OnGui(F&& fn, R def) {
    R result = def;
    GuiCall([&] { result = fn(); });
    return result;
}

} // namespace

TControl::TControl(TControlKind kind, TControl* parent, uint32_t options)
    : kind_(kind), parent_(parent), id_(g_nextId++), impl_(std::make_unique<TImpl>()) {
    TApplication& app = TApplication::Instance();
    s_.styles = InitialStyles(kind, options);
    s_.font = DefaultFont();
    if (parent_) {
        s_.color = parent_->Color();
        s_.askedSunken = parent_->AskedSunken();
    }
    // Only the kinds that take a sunken edge start sunken, and only when the
    // parent asked for that look; the others start flat as their class is.
    const bool takesSunken = kind == TControlKind::Edit || kind == TControlKind::Combo;
    s_.currentSunken = kind == TControlKind::Form || (takesSunken && s_.askedSunken);
    if (kind != TControlKind::Form && s_.currentSunken) {
        s_.styles.style &= ~WS_BORDER;
        s_.styles.exStyle |= WS_EX_CLIENTEDGE;
    }
    s_.visible = kind != TControlKind::Form; // forms are created hidden

    GuiCall([&] {
        QWidget* parentWidget = parent_ ? parent_->Widget() : nullptr;
        QWidget* w = nullptr;
        switch (kind) {
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
            QObject::connect(edit, &QLineEdit::textChanged, edit,
                             [this] { TextChangedByWidget(); });
            w = edit;
            break;
        }
        case TControlKind::Combo: {
            auto* combo = new TComboWidget(this, parentWidget);
            QObject::connect(combo, &QComboBox::currentTextChanged, combo,
                             [this] { TextChangedByWidget(); });
            QObject::connect(combo, &QComboBox::editTextChanged, combo,
                             [this] { TextChangedByWidget(); });
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
        QObject::connect(w, &QObject::destroyed, [this] { WidgetDestroyed(); });
        ApplyStyles();
        ApplyPalette();
        w->setFont(ToQFont(s_.font));
        w->setVisible(s_.visible);
    });
    if (parent_) {
        parent_->children_.push_back(this);
        parent_->tabOrder_.push_back(this);
    }
    if (kind == TControlKind::Form) app.FormCreated(this);
}

TControl::~TControl() {
    *alive_ = false; // updates still queued for this control do nothing
    hooks = TControlHooks{};
    if (parent_) {
        std::erase(parent_->children_, this);
        std::erase(parent_->tabOrder_, this);
        if (parent_->defaultButton_ == this) parent_->defaultButton_ = nullptr;
    }
    for (TControl* child : children_)
        child->parent_ = nullptr;
    if (kind_ == TControlKind::Form && TApplication::Exists())
        TApplication::Instance().FormDestroyed(this);
    GuiCall([&] {
        if (QWidget* w = impl_->widget) {
            w->removeEventFilter(impl_->filter);
            w->hide();
            delete w;
        }
    });
}

QWidget* TControl::Widget() const {
    return impl_->widget;
}

std::string TControl::ClassName() const {
    return std::string("obj_") + ClassNameOf(kind_);
}

// ---- styles ----

uint32_t TControl::Style() const {
    std::lock_guard lock(mutex_);
    return s_.styles.style;
}

uint32_t TControl::ExStyle() const {
    std::lock_guard lock(mutex_);
    return s_.styles.exStyle;
}

void TControl::SetStyle(uint32_t style) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.styles.style = style;
        }
        ApplyStyles();
        ApplyGeometry();
    });
}

void TControl::SetExStyle(uint32_t exStyle) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.styles.exStyle = exStyle;
        }
        ApplyStyles();
        ApplyGeometry();
    });
}

void TControl::SetBorderStyle(int n) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            if (!ApplyBorderStyle(s_.styles, n)) return;
        }
        ApplyStyles();
        ApplyGeometry();
    });
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

// ---- geometry ----

int TControl::EdgeWidth() const {
    std::lock_guard lock(mutex_);
    if (kind_ == TControlKind::Form) return 0;
    int e = 0;
    if (s_.styles.exStyle & WS_EX_CLIENTEDGE) e += 2;
    if (s_.styles.exStyle & WS_EX_STATICEDGE) e += 1;
    if (s_.styles.exStyle & WS_EX_DLGMODALFRAME) e += 3;
    if (s_.styles.style & WS_BORDER) e += 1;
    return e;
}

void TControl::SetPosition(int left, int top) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.left = left;
            s_.top = top;
        }
        ApplyGeometry();
    });
}

void TControl::SetSize(int width, int height) {
    GuiCall([&] {
        TWindowPos pos;
        {
            std::lock_guard lock(mutex_);
            pos = {s_.left, s_.top, width, height, false, true};
        }
        TMessage m;
        m.msg = WM_WINDOWPOSCHANGING;
        m.pos = &pos;
        DeliverMessage(m);
        {
            std::lock_guard lock(mutex_);
            s_.width = pos.cx;
            s_.height = pos.cy;
        }
        UpdateAutoSize();
        ApplyGeometry();
        if (parent_) parent_->Realign();
    });
}

int TControl::Left() const {
    std::lock_guard lock(mutex_);
    return s_.left;
}
int TControl::Top() const {
    std::lock_guard lock(mutex_);
    return s_.top;
}
int TControl::Width() const {
    std::lock_guard lock(mutex_);
    return s_.width;
}
int TControl::Height() const {
    std::lock_guard lock(mutex_);
    return s_.height;
}

TRect TControl::ClientRect() const {
    TStyles st;
    int w, h;
    {
        std::lock_guard lock(mutex_);
        st = s_.styles;
        w = s_.width;
        h = s_.height;
    }
    if (kind_ == TControlKind::Form) {
        const TFrameExtent e = FrameExtentOf(st);
        return {0, 0, std::max(0, w - 2 * e.frame), std::max(0, h - 2 * e.frame - e.caption)};
    }
    const int edge = EdgeWidth();
    return {0, 0, std::max(0, w - 2 * edge), std::max(0, h - 2 * edge)};
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

TRect TControl::AlignedRect() const {
    std::lock_guard lock(mutex_);
    return {s_.left, s_.top, s_.left + s_.width, s_.top + s_.height};
}

void TControl::SetAlign(int align) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.align = align;
        }
        UpdateAutoSize();
        if (parent_) parent_->Realign();
    });
}

int TControl::Align() const {
    std::lock_guard lock(mutex_);
    return s_.align;
}

// Places the aligned children against the edges of the client area, each
// after those already aligned there, in creation order.
void TControl::Realign() {
    TRect rest = ClientRect();
    for (TControl* c : children_) {
        int align, w, h;
        {
            std::lock_guard lock(c->mutex_);
            align = c->s_.align;
            w = c->s_.width;
            h = c->s_.height;
        }
        if (align < 1 || align > 5) continue;
        TRect r;
        switch (align) {
        case 1:
            r = {rest.left, rest.top, rest.left + w, rest.bottom}, rest.left += w;
            break;
        case 2:
            r = {rest.left, rest.top, rest.right, rest.top + h}, rest.top += h;
            break;
        case 3:
            r = {rest.right - w, rest.top, rest.right, rest.bottom}, rest.right -= w;
            break;
        case 4:
            r = {rest.left, rest.bottom - h, rest.right, rest.bottom}, rest.bottom -= h;
            break;
        default:
            r = rest;
            break;
        }
        {
            std::lock_guard lock(c->mutex_);
            c->s_.left = r.left;
            c->s_.top = r.top;
            c->s_.width = r.Width();
            c->s_.height = r.Height();
        }
        c->ApplyGeometry();
    }
}

// Auto-size: the text's extent plus the class's margin; alignment to the
// left or right leaves the height alone, to the top or bottom the width.
void TControl::UpdateAutoSize() {
    QWidget* w = impl_->widget;
    bool on;
    int align;
    std::string text;
    TFontRec font;
    {
        std::lock_guard lock(mutex_);
        on = s_.autoSize;
        align = s_.align;
        text = s_.text;
        font = s_.font;
    }
    if (!on || !w || align == 5) return;
    QFontMetrics fm(ToQFont(font));
    QString t = ToWidgetText(text);
    QRect box = fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, t);
    int mx = 4, my = 4;
    if (kind_ == TControlKind::Button) mx = 16, my = 8;
    if (kind_ == TControlKind::Edit || kind_ == TControlKind::Combo) mx = 8, my = 8;
    const int edge = 2 * EdgeWidth();
    std::lock_guard lock(mutex_);
    if (align != 2 && align != 4) s_.width = box.width() + mx + edge;
    if (align != 1 && align != 3) s_.height = std::max(fm.height(), box.height()) + my + edge;
}

void TControl::SetAutoSize(bool on) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.autoSize = on;
        }
        UpdateAutoSize();
        ApplyGeometry();
        if (parent_) parent_->Realign();
    });
}

void TControl::WidgetMoved(int left, int top) {
    if (kind_ == TControlKind::Form) {
        std::lock_guard lock(mutex_);
        s_.left = left;
        s_.top = top;
    }
}

// ---- state ----

void TControl::SetVisible(bool visible) {
    GuiCall([&] {
        bool changed;
        bool applyText = false;
        std::string text;
        {
            std::lock_guard lock(mutex_);
            changed = s_.visible != visible;
            s_.visible = visible;
            if (visible && widgetTextStale_) {
                widgetTextStale_ = false;
                applyText = true;
                text = s_.text;
            }
        }
        if (applyText) ApplyText(text);
        if (QWidget* w = impl_->widget) {
            if (!visible) FocusToForm();
            w->setVisible(visible);
            if (visible && kind_ == TControlKind::Form) {
                w->raise();
                w->activateWindow();
            }
        }
        if (changed) {
            if (visible && hooks.shown) hooks.shown();
            if (!visible && hooks.hidden) hooks.hidden();
        }
    });
}

bool TControl::Visible() const {
    std::lock_guard lock(mutex_);
    return s_.visible;
}

// A disabled form refuses input and leaves its controls' look alone (the
// gate); a disabled control is greyed as its kind draws it.
void TControl::SetEnabled(bool enabled) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.enabled = enabled;
        }
        QWidget* w = impl_->widget;
        if (!w) return;
        if (kind_ == TControlKind::Form) {
            SetInputRefused(w, !enabled);
            return;
        }
        if (!enabled) FocusToForm();
        w->setEnabled(enabled);
    });
}

// A control that is disabled or hidden while it has the focus leaves the
// focus with its form, which is no control; Qt would hand it to the next
// control (and a read-only edit that gets it by Tab selects all its text).
// With the form as its window's focus, Qt also gives the focus back to the
// form, not to the first control, when the window is activated again.
void TControl::FocusToForm() {
    QWidget* w = impl_->widget;
    if (!w || kind_ == TControlKind::Form) return;
    QWidget* window = w->window();
    QWidget* focus = window->focusWidget();
    if (focus && (focus == w || w->isAncestorOf(focus))) window->setFocus(Qt::OtherFocusReason);
}

bool TControl::Enabled() const {
    std::lock_guard lock(mutex_);
    return s_.enabled;
}

// With onlyLatestMatters (nobody watches the intermediate texts), a text set
// off the GUI thread is stored at once, so readers see it, and the widget
// follows through one posted update; texts that arrive before that update
// runs only replace the stored one. This spares the reader thread a round
// trip to the GUI thread for every text. Otherwise the call is carried over
// and waited for, so every change is shown and reported in order.
void TControl::SetText(const std::string& text, bool onlyLatestMatters) {
    if (onlyLatestMatters) {
        // A hidden control draws nothing: its widget gets the latest text
        // when it is shown, so a field set after every byte costs no
        // drawing work while it is hidden.
        std::lock_guard lock(mutex_);
        if (!s_.visible) {
            s_.text = text;
            widgetTextStale_ = true;
            return;
        }
    }
    if (onlyLatestMatters && !OnGuiThread()) {
        if (CallsClosed()) return;
        bool post;
        {
            std::lock_guard lock(mutex_);
            s_.text = text;
            post = !textUpdatePending_;
            textUpdatePending_ = true;
        }
        if (post)
            GuiPost([this, alive = alive_] {
                if (!*alive) return;
                std::string latest;
                {
                    std::lock_guard lock(mutex_);
                    textUpdatePending_ = false;
                    widgetTextStale_ = false;
                    latest = s_.text;
                }
                ApplyText(latest);
            });
        return;
    }
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.text = text;
            widgetTextStale_ = false;
        }
        ApplyText(text);
    });
}

void TControl::ApplyText(const std::string& text) {
    // The widget's change signal must not copy this text back over a newer
    // one that another thread has stored meanwhile.
    applyingText_ = true;
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
        UpdateAutoSize();
        ApplyGeometry();
    }
    applyingText_ = false;
}

std::string TControl::Text() const {
    std::lock_guard lock(mutex_);
    return s_.text;
}

void TControl::TextChangedByWidget() {
    QWidget* w = impl_->widget;
    if (!w) return;
    QString t;
    if (kind_ == TControlKind::Edit) t = static_cast<QLineEdit*>(w)->text();
    if (kind_ == TControlKind::Combo) t = static_cast<QComboBox*>(w)->currentText();
    if (!applyingText_ || kind_ != TControlKind::Edit) {
        std::lock_guard lock(mutex_);
        s_.text = ToCp1251(t);
    }
    if (kind_ == TControlKind::Edit && hooks.change) hooks.change();
}

void TControl::SetColor(uint32_t color) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.color = color;
        }
        ApplyPalette();
    });
}

uint32_t TControl::Color() const {
    std::lock_guard lock(mutex_);
    return s_.color;
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

void TControl::SetFont(const TFontRec& font) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.font = font;
        }
        if (QWidget* w = impl_->widget) w->setFont(ToQFont(font));
        ApplyPalette();
        UpdateAutoSize();
        ApplyGeometry();
    });
}

TFontRec TControl::Font() const {
    std::lock_guard lock(mutex_);
    return s_.font;
}

void TControl::SetFontColor(uint32_t color) {
    TFontRec f = Font();
    f.Color = color;
    SetFont(f);
}

void TControl::SetFontStyle(uint8_t style) {
    TFontRec f = Font();
    f.Style = style;
    SetFont(f);
}

void TControl::SetTabOrder(int order) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            if (order < 0)
                s_.styles.style &= ~WS_TABSTOP;
            else if (order > 0)
                s_.styles.style |= WS_TABSTOP;
        }
        if (parent_ && order > 0) {
            auto& seq = parent_->tabOrder_;
            std::erase(seq, this);
            const std::size_t place = std::min<std::size_t>(std::size_t(order - 1), seq.size());
            seq.insert(seq.begin() + std::ptrdiff_t(place), this);
        }
        ApplyStyles();
    });
}

int TControl::TabOrder() const {
    if (!parent_) return 0;
    const auto& seq = parent_->tabOrder_;
    auto it = std::find(seq.begin(), seq.end(), this);
    return it == seq.end() ? 0 : int(it - seq.begin()) + 1;
}

void TControl::SetEdge3D(bool sunken) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.askedSunken = sunken;
            if (s_.currentSunken == sunken) return;
            s_.currentSunken = sunken;
            if (sunken) {
                s_.styles.style &= ~WS_BORDER;
                s_.styles.exStyle |= WS_EX_CLIENTEDGE;
            } else {
                s_.styles.style |= WS_BORDER;
                s_.styles.exStyle &= ~WS_EX_CLIENTEDGE;
            }
        }
        ApplyStyles();
        ApplyGeometry();
    });
}

bool TControl::AskedSunken() const {
    std::lock_guard lock(mutex_);
    return s_.askedSunken;
}

void TControl::SetTextAlign(int align) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.textAlign = align;
            s_.styles.style = ::ApplyTextAlign(kind_, s_.styles.style, align);
        }
        ApplyStyles();
    });
}

void TControl::SetTransparent(bool on) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.transparent = on;
        }
        ApplyPalette();
    });
}

void TControl::SetCursor(int cursor) {
    GuiCall([&] {
        std::lock_guard lock(mutex_);
        s_.cursor = cursor;
    });
}

void TControl::SetKeyRouting(bool on) {
    std::lock_guard lock(mutex_);
    s_.keyRouting = on;
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

void TControl::SetToolTip(const std::string& text) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.toolTip = text;
        }
        if (QWidget* w = impl_->widget) w->setToolTip(FromCp1251(text));
    });
}

std::string TControl::ToolTip() const {
    std::lock_guard lock(mutex_);
    return s_.toolTip;
}

// ---- form ----

void TControl::Close(intptr_t lParam) {
    GuiCall([&] {
        if (CloseRequested(lParam))
            if (QWidget* w = impl_->widget) w->hide();
    });
}

bool TControl::CloseRequested(intptr_t lParam) {
    TMessage m;
    m.msg = WM_CLOSE;
    m.lParam = lParam;
    if (DeliverMessage(m)) return false; // refused
    bool wasVisible;
    {
        std::lock_guard lock(mutex_);
        wasVisible = s_.visible;
        s_.visible = false;
    }
    if (wasVisible && hooks.hidden) hooks.hidden();
    if (TApplication::Exists() && TApplication::Instance().MainForm() == this)
        TApplication::Instance().MainFormClosed();
    return true;
}

void TControl::DragMove() {
    GuiCall([&] {
        QWidget* w = impl_->widget;
        if (w && w->window()->windowHandle()) w->window()->windowHandle()->startSystemMove();
    });
}

void TControl::SetIcon(TIconHandle icon) {
    GuiCall([&] {
        if (QWidget* w = impl_->widget) w->setWindowIcon(icon ? icon->icon : QIcon());
    });
}

std::vector<TControl*> TControl::TabSequence() const {
    std::vector<TControl*> seq;
    for (TControl* c : tabOrder_) {
        if (!(c->Style() & WS_TABSTOP) || !c->Visible() || !c->Enabled()) continue;
        if (c->kind_ == TControlKind::Label || c->kind_ == TControlKind::Picture ||
            c->kind_ == TControlKind::Progress)
            continue;
        seq.push_back(c);
    }
    return seq;
}

void TControl::InstallTabNavigation() {
    hooks.keyDown = [this](int& key) {
        if (key != VK_TAB) return;
        std::vector<TControl*> seq = TabSequence();
        if (seq.empty()) return;
        int current = -1;
        for (std::size_t i = 0; i < seq.size(); ++i)
            if (seq[i]->Focused()) current = int(i);
        const int n = int(seq.size());
        int next;
        if (impl_->shiftHeld)
            next = current <= 0 ? n - 1 : current - 1;
        else
            next = current < 0 || current == n - 1 ? 0 : current + 1;
        seq[std::size_t(next)]->SetFocus();
        key = 0;
    };
}

void TControl::SetDefaultButton(TControl* button) {
    defaultButton_ = button;
}

TControl* TControl::DefaultButton() const {
    return defaultButton_;
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

// ---- progress bar ----

void TControl::SetRange(int max) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.rangeMax = max;
            s_.progress = std::clamp(s_.progress, 0, std::max(0, max));
        }
        if (auto* p = qobject_cast<QProgressBar*>(impl_->widget.data())) p->setRange(0, max);
    });
}

int TControl::RangeMax() const {
    std::lock_guard lock(mutex_);
    return s_.rangeMax;
}

void TControl::SetProgress(int pos) {
    GuiCall([&] {
        int value;
        {
            std::lock_guard lock(mutex_);
            // The bar keeps its position within its range.
            s_.progress = std::clamp(pos, 0, std::max(0, s_.rangeMax));
            value = s_.progress;
        }
        if (auto* p = qobject_cast<QProgressBar*>(impl_->widget.data())) {
            p->setValue(value);
            p->repaint();
        }
    });
}

int TControl::Progress() const {
    std::lock_guard lock(mutex_);
    return s_.progress;
}

void TControl::SetBarColor(uint32_t color) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.barColor = color;
        }
        ApplyPalette();
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

void TControl::SetItemHeight(int height) {
    std::lock_guard lock(mutex_);
    s_.itemHeight = height;
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

void TControl::SetDroppedHeight(int height) {
    std::lock_guard lock(mutex_);
    s_.droppedHeight = height;
}

bool TControl::KeyRouting() const {
    std::lock_guard lock(mutex_);
    return s_.keyRouting;
}

int TControl::DroppedHeight() const {
    std::lock_guard lock(mutex_);
    return s_.droppedHeight;
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

// ---- messages ----

bool TControl::DeliverMessage(TMessage& m) {
    if (!hooks.message) return false;
    auto hook = hooks.message;
    return hook(m);
}

void TControl::DeliverMouse(uint32_t msg, const TMouseEvent& ev) {
    TMessage m;
    m.msg = msg;
    m.wParam = ev.keys;
    m.lParam = intptr_t(uint16_t(ev.x)) | (intptr_t(uint16_t(ev.y)) << 16);
    if (DeliverMessage(m)) return;
    std::function<void(const TMouseEvent&)>* hook = nullptr;
    switch (msg) {
    case WM_MOUSEMOVE:
        hook = &hooks.mouseMove;
        break;
    case WM_MOUSEWHEEL:
        hook = &hooks.mouseWheel;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        hook = &hooks.mouseDown;
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        hook = &hooks.mouseUp;
        break;
    default:
        hook = &hooks.dblClick;
        break;
    }
    if (*hook) {
        auto f = *hook;
        f(ev);
    }
}

void TControl::WidgetDestroyed() {
    if (hooks.destroyed) hooks.destroyed();
}
