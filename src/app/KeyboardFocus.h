// Buttons that work from the keyboard: reached with Tab, drawn with a visible focus ring
// (the palette's highlight colour, 2 px) once the keyboard has moved the focus, activated
// with Space or Return even where a window shortcut uses the same key (the focused button
// goes first).
#pragma once

class QAbstractButton;
class QPainter;
class QRect;
class QWidget;

namespace trimeo {

void makeKeyboardReachable(QAbstractButton* button);
// The ring, inside `rect`, for widgets that draw themselves.
void drawFocusRing(QPainter& painter, const QWidget* widget, const QRect& rect);

} // namespace trimeo
