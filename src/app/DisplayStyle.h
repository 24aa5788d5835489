// The platform's stand-ins for the displays' named colours and fonts: "secondary" is
// the palette's placeholder-text colour (made opaque over the window colour), "accent"
// its highlight, each moved toward the text colour as far as needed to stand at least
// 4.5:1 against the window and button backgrounds, in light and dark palettes alike; the
// headline is a bold default font and the caption a smaller one.
#pragma once

#include "Icons.h"

#include <QColor>
#include <QFont>

class QLabel;
class QWidget;

namespace trimeo {

// The contrast ratio of two opaque colours as WCAG 2 defines it: 1 (same) to 21.
double contrastRatio(const QColor& a, const QColor& b);

QColor secondaryColor(const QWidget* widget);
QColor accentColor(const QWidget* widget);
QFont headlineFont(const QWidget* widget);
QFont captionFont(const QWidget* widget);
QFont systemFont(const QWidget* widget, qreal pointSize);
void setTextColor(QLabel* label, const QColor& color);
// Draws `label`'s text in the secondary colour of its parent, and keeps doing so when the
// palette changes (the desktop switching between light and dark while Trimeo runs).
void showInSecondaryColor(QLabel* label);
// Shows `name` in `label`, `size` points square, tinted with colour(parent), redrawn when
// the palette changes.
void showSymbol(QLabel* label, IconName name, int size, QColor (*colour)(const QWidget*));
QColor textColor(const QWidget* widget);
// A label that shows its text as written, never as rich text.
QLabel* plainLabel(const QString& text, QWidget* parent);
// Tool tips take text that looks like markup as markup; this one shows `text` as written.
QString verbatimToolTip(const QString& text);

} // namespace trimeo
