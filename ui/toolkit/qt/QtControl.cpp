// The Qt backend of the control object: a Qt widget renders the state. What
// every kind does alike is here; what a kind does with its widget is in
// Qt<Kind>.cpp.
#include "ui/toolkit/Control.h"

#include "platform/Text1251.h"
#include "runtime/Strings.h"
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/InputGate.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>

// After the definition of the window record.
#include "ui/toolkit/ControlRecord.h"

QString ToWidgetText(const std::string& text) {
    std::string t = text;
    ReplaceAll(t, "\r\n", "\n");
    return FromCp1251(t);
}

// In the order of TControlKind.
const TQtKind& QtKindOf(TControlKind kind) {
    static const TQtKind* const kinds[] = {&QtFormKind(),    &QtButtonKind(), &QtLabelKind(),
                                           &QtPictureKind(), &QtEditKind(),   &QtComboKind(),
                                           &QtProgressKind()};
    return *kinds[int(kind)];
}

namespace {

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

void TControl::CreateWindowOf(TControl* parent) {
    QWidget* parentWidget = parent ? parent->impl_->widget.data() : nullptr;
    QWidget* w = QtKindOf(kind_).Create(*this, parentWidget);
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

bool TControl::HasWindow() const {
    return impl_->widget;
}

// Makes the widget show what the style words say.
void TControl::ApplyStyles() {
    QWidget* w = impl_->widget;
    if (!w) return;
    TStyles st;
    {
        std::lock_guard lock(mutex_);
        st = s_.styles;
    }
    const TQtKind& kind = QtKindOf(kind_);
    kind.ApplyStyles(*this, w, st);
    if (kind.TakesFocus())
        w->setFocusPolicy((st.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
}

void TControl::ApplyGeometry() {
    if (QWidget* w = impl_->widget) QtKindOf(kind_).Place(*this, w, AlignedRect());
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
    if (QWidget* w = impl_->widget) QtKindOf(kind_).ApplyText(*this, w, ToWidgetText(text));
}

void TControl::ApplyPalette() {
    QWidget* w = impl_->widget;
    if (!w) return;
    uint32_t color, textColor;
    bool transparent;
    {
        std::lock_guard lock(mutex_);
        color = s_.color;
        textColor = s_.font.Color;
        transparent = s_.transparent;
    }
    QPalette pal = w->palette();
    const QColor bg = ToQColor(color);
    const QColor fg = ToQColor(textColor);
    for (auto role : {QPalette::Window, QPalette::Base})
        pal.setColor(role, bg);
    for (auto group : {QPalette::Active, QPalette::Inactive})
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            pal.setColor(group, role, fg);
    QtKindOf(kind_).ApplyPalette(*this, pal);
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

void TControl::SetFocus() {
    GuiCall([&] {
        if (impl_->keyTarget) impl_->keyTarget->setFocus(Qt::OtherFocusReason);
    });
}

bool TControl::Focused() const {
    return GuiResult<bool>(
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

// ---- what the window system shows, for tests and tools ----

bool TControl::SaveScreenshot(const std::string& path) const {
    return GuiResult<bool>(
        [&] {
            QWidget* w = impl_->widget;
            return w && w->grab().save(QString::fromStdString(path), "PNG");
        },
        false);
}

TPixels TControl::Render() const {
    return GuiResult<TPixels>(
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
    return GuiResult<TRect>(
        [&] {
            QWidget* w = impl_->widget;
            if (!w) return TRect();
            const QRect g = kind_ == TControlKind::Form ? w->rect() : w->geometry();
            return TRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        },
        TRect());
}

bool TControl::WindowVisible() const {
    return GuiResult<bool>([&] { return impl_->widget && impl_->widget->isVisible(); }, false);
}

std::string TControl::WindowText() const {
    return GuiResult<std::string>(
        [&] {
            QWidget* w = impl_->widget;
            if (!w) return std::string();
            QString t = QtKindOf(kind_).Text(w);
            t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
            return ToCp1251(t);
        },
        std::string());
}
