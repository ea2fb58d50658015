// What the Qt backend's control sources share: the widgets of our own that
// render control objects, the event filter that turns Qt events into the
// control's messages and hooks, the control's window record, and what each
// kind of control does with its widget (one TQtKind per kind, in
// Qt<Kind>.cpp).
#pragma once

#include "ui/toolkit/Control.h"

#include <QComboBox>
#include <QFrame>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QWidget>

class TFormWidget : public QWidget {
public:
    TFormWidget(TControl* control, QWidget* owner);

protected:
    void closeEvent(QCloseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;

private:
    TControl* control_;
};

class TPictureWidget : public QFrame {
public:
    TPictureWidget(TControl* control, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    TControl* control_;
};

class TComboWidget : public QComboBox {
public:
    TComboWidget(TControl* control, QWidget* parent);
    void showPopup() override;
    // Drop-down with an edit field, or drop-down list. The edit field only
    // edits: it completes nothing, and neither Enter nor leaving it chooses
    // an item.
    void SetEditable(bool editable);

private:
    TControl* control_;
};

class TControlFilter : public QObject {
public:
    explicit TControlFilter(TControl* control) : control_(control) {}
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool Mouse(QWidget* w, QEvent* e);
    bool Key(QEvent* e);

    TControl* control_;
    const QEvent* lastMouse_ = nullptr;
};

struct TControl::TImpl {
    QPointer<QWidget> widget;
    QPointer<QWidget> keyTarget; // the widget that receives the keys
    TControlFilter* filter = nullptr;
    bool settingText = false;
    bool shiftHeld = false;
};

// What a kind of control does with its widget.
class TQtKind {
public:
    virtual ~TQtKind() = default;
    // Makes the kind's widget for `c` (a form: owned by `parent`, if any).
    virtual QWidget* Create(TControl& c, QWidget* parent) const = 0;
    // Makes the widget show the control's style words.
    virtual void ApplyStyles(TControl& c, QWidget* w, const TStyles& st) const = 0;
    // Shows the window text; the default shows none.
    virtual void ApplyText(TControl&, QWidget*, const QString&) const {}
    // The text the widget shows.
    virtual QString Text(QWidget* w) const { return w->windowTitle(); }
    // Moves the widget to the control's rectangle in its parent.
    virtual void Place(TControl&, QWidget* w, const TRect& r) const {
        w->setGeometry(r.left, r.top, r.Width(), r.Height());
    }
    // Whether Tab and clicks give the widget the focus (when it is a tab stop).
    virtual bool TakesFocus() const { return false; }
    // Colours of the kind's own beyond background and text.
    virtual void ApplyPalette(TControl&, QPalette&) const {}
};

// A kind rendered by one of our own widgets, made for the control.
template <class TWidget> class TOwnWidgetKind : public TQtKind {
public:
    QWidget* Create(TControl& c, QWidget* parent) const override { return new TWidget(&c, parent); }
};

const TQtKind& QtFormKind();
const TQtKind& QtButtonKind();
const TQtKind& QtLabelKind();
const TQtKind& QtPictureKind();
const TQtKind& QtEditKind();
const TQtKind& QtComboKind();
const TQtKind& QtProgressKind();
const TQtKind& QtKindOf(TControlKind kind);

// Windows text uses CR LF for a line break; Qt widgets use LF.
QString ToWidgetText(const std::string& text);
