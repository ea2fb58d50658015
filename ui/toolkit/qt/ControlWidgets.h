// The Qt widgets that render control objects, and the event filter that
// turns Qt events into the control's messages and hooks.
#pragma once

#include "ui/toolkit/Control.h"

#include <QComboBox>
#include <QFrame>
#include <QPointer>
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
