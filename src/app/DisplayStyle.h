// The platform's stand-ins for the displays' named colours and fonts: "secondary" is
// the palette's placeholder-text colour (made opaque over the window colour), "accent"
// its highlight, the headline a bold
// default font and the caption a smaller one.
#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QWidget;

namespace trimeo {

QColor secondaryColor(const QWidget* widget);
QColor accentColor(const QWidget* widget);
QFont headlineFont(const QWidget* widget);
QFont captionFont(const QWidget* widget);
QFont systemFont(const QWidget* widget, qreal pointSize);
void setTextColor(QLabel* label, const QColor& color);
// A label that shows its text as written, never as rich text.
QLabel* plainLabel(const QString& text, QWidget* parent);
// Tool tips take text that looks like markup as markup; this one shows `text` as written.
QString verbatimToolTip(const QString& text);

} // namespace trimeo
