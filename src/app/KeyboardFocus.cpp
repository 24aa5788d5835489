#include "KeyboardFocus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionToolButton>
#include <QToolButton>

namespace trimeo {

namespace {
bool isActivationKey(const QKeyEvent* key) {
    const int k = key->key();
    return (k == Qt::Key_Space || k == Qt::Key_Return || k == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

class ActivationKeys : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button) return false;
        if (event->type() == QEvent::ShortcutOverride && isActivationKey(static_cast<QKeyEvent*>(event))) {
            event->accept(); // the key goes to the button, not to a shortcut
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (isActivationKey(key) && key->key() != Qt::Key_Space) { // the button handles Space itself
                button->animateClick();
                return true;
            }
        }
        return false;
    }
};

ActivationKeys& activationKeys() {
    static auto* keys = new ActivationKeys(qApp);
    return *keys;
}

// Tool buttons in a toolbar are raised only under the pointer and most styles draw no
// focus for them: this style adds the ring.
class FocusRingStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        // Only once the keyboard has moved the focus: a click or the window's first focus
        // needs no ring.
        const State keyboardFocus = State_HasFocus | State_KeyboardFocusChange;
        if (control == CC_ToolButton && widget && (option->state & keyboardFocus) == keyboardFocus)
            drawFocusRing(*painter, widget, option->rect);
    }
};

QStyle* focusRingStyle() {
    static auto* style = [] {
        auto* s = new FocusRingStyle;
        s->setParent(qApp);
        return s;
    }();
    return style;
}
} // namespace

void makeKeyboardReachable(QAbstractButton* button) {
    button->setFocusPolicy(Qt::StrongFocus);
    button->installEventFilter(&activationKeys());
    if (qobject_cast<QToolButton*>(button)) button->setStyle(focusRingStyle());
}

void drawFocusRing(QPainter& painter, const QWidget* widget, const QRect& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(widget->palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), 3, 3);
    painter.restore();
}

} // namespace trimeo
