#include "RecentFileButton.h"

#include "DisplayStyle.h"

#include <QPainter>

namespace trimeo {

RecentFileButton::RecentFileButton(const QString& path, QWidget* parent) : QAbstractButton(parent) {
    setText(path);
    setFont(systemFont(this, 12));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QString RecentFileButton::displayedText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, width());
}

QSize RecentFileButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text()) + 1, fontMetrics().height()};
}

QSize RecentFileButton::minimumSizeHint() const { return {fontMetrics().averageCharWidth() * 8, fontMetrics().height()}; }

void RecentFileButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor color = accentColor(this);
    if (isDown()) color = color.darker(130);
    painter.setPen(color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, displayedText());
}

} // namespace trimeo
