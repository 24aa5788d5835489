#include "DisplayStyle.h"

#include <QLabel>
#include <QPalette>
#include <QTextDocument>
#include <QWidget>

namespace trimeo {

QColor secondaryColor(const QWidget* widget) {
    // The placeholder colour is often translucent; rich text and some styles drop the
    // alpha, so it is mixed with the background here.
    const QColor text = widget->palette().color(QPalette::PlaceholderText);
    const QColor background = widget->palette().color(QPalette::Window);
    const qreal a = text.alphaF();
    return QColor::fromRgbF(a * text.redF() + (1 - a) * background.redF(), a * text.greenF() + (1 - a) * background.greenF(),
                            a * text.blueF() + (1 - a) * background.blueF());
}

QColor accentColor(const QWidget* widget) { return widget->palette().color(QPalette::Highlight); }

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
