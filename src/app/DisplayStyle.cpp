#include "DisplayStyle.h"

#include <QEvent>
#include <QLabel>
#include <QPalette>
#include <QTextDocument>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <cmath>

namespace trimeo {

namespace {
QColor mix(const QColor& a, const QColor& b, qreal share_of_a) {
    const qreal t = share_of_a;
    return QColor::fromRgbF(t * a.redF() + (1 - t) * b.redF(), t * a.greenF() + (1 - t) * b.greenF(),
                            t * a.blueF() + (1 - t) * b.blueF());
}

double luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// `color` moved toward the palette's text colour until it stands 4.5:1 against both
// backgrounds a display text sits on (the window, and the toolbar's button colour).
QColor readable(const QColor& color, const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor backgrounds[] = {palette.color(QPalette::Window), palette.color(QPalette::Button)};
    QColor result = color;
    for (int step = 1; step <= 20; ++step) {
        bool enough = true;
        for (const QColor& background : backgrounds) enough = enough && contrastRatio(result, background) >= 4.5;
        if (enough) break;
        result = mix(text, color, step / 20.0);
    }
    return result;
}
} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor secondaryColor(const QWidget* widget) {
    // The placeholder colour is often translucent; rich text and some styles drop the
    // alpha, so it is mixed with the background here.
    const QPalette& palette = widget->palette();
    const QColor text = palette.color(QPalette::PlaceholderText);
    const QColor opaque = mix(text, palette.color(QPalette::Window), text.alphaF());
    return readable(opaque, palette);
}

QColor accentColor(const QWidget* widget) {
    return readable(widget->palette().color(QPalette::Highlight), widget->palette());
}

QFont headlineFont(const QWidget* widget) {
    QFont font = widget->font();
    font.setBold(true);
    return font;
}

QFont captionFont(const QWidget* widget) {
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QFont systemFont(const QWidget* widget, qreal pointSize) {
    QFont font = widget->font();
    font.setPointSizeF(pointSize);
    return font;
}

void setTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    // Inside a toolbar a label would otherwise draw in the button text colour.
    label->setForegroundRole(QPalette::WindowText);
}

namespace {
// Re-applies a label's colour whenever the palette it inherits changes.
class PaletteFollower : public QObject {
public:
    PaletteFollower(QLabel* label, std::function<void(QLabel*)> apply) : QObject(label), apply_(std::move(apply)) {
        label->installEventFilter(this);
        apply_(label);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) apply_(static_cast<QLabel*>(watched));
        return false;
    }

private:
    std::function<void(QLabel*)> apply_;
};
} // namespace

QColor textColor(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

void showInSecondaryColor(QLabel* label) {
    new PaletteFollower(label, [](QLabel* l) {
        // From the parent: the label's own text colour is the one being set.
        const QColor colour = secondaryColor(l->parentWidget() ? l->parentWidget() : l);
        if (l->palette().color(QPalette::WindowText) != colour) setTextColor(l, colour); // no loop
    });
}

void showSymbol(QLabel* label, IconName name, int size, QColor (*colour)(const QWidget*)) {
    new PaletteFollower(label, [name, size, colour](QLabel* l) {
        const QWidget* host = l->parentWidget() ? l->parentWidget() : l;
        l->setPixmap(tintedPixmap(name, size, colour(host), l->devicePixelRatioF()));
    });
}

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QString verbatimToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace trimeo
