// The push button in the Qt backend: clicked by the mouse, or by Space while
// it has the focus.
#include "ui/toolkit/qt/ControlWidgets.h"

#include <QPushButton>

namespace {

class TButtonKind : public TQtKind {
public:
    QWidget* Create(TControl& c, QWidget* parent) const override {
        auto* button = new QPushButton(parent);
        QObject::connect(button, &QPushButton::clicked, button, [&c] {
            if (c.hooks.click) {
                auto click = c.hooks.click;
                click();
            }
        });
        return button;
    }

    void ApplyStyles(TControl&, QWidget* w, const TStyles& st) const override {
        auto* b = static_cast<QPushButton*>(w);
        b->setFlat(st.style & BS_FLAT);
        b->setDefault(st.style & BS_DEFPUSHBUTTON);
    }

    void ApplyText(TControl&, QWidget* w, const QString& text) const override {
        static_cast<QPushButton*>(w)->setText(text);
    }

    QString Text(QWidget* w) const override { return static_cast<QPushButton*>(w)->text(); }

    bool TakesFocus() const override { return true; }

    // The button's face takes the background colour.
    void ApplyPalette(TControl&, QPalette& pal) const override {
        pal.setColor(QPalette::Button, pal.color(QPalette::Window));
    }
};

} // namespace

const TQtKind& QtButtonKind() {
    static const TButtonKind kind;
    return kind;
}
