#include "RecentFileButton.h"

#include "DisplayStyle.h"
#include "KeyboardFocus.h"

#include <QPainter>

namespace trimeo {

namespace {
// Room around the text for the focus ring.
constexpr int ringRoom = 3;
} // namespace

RecentFileButton::RecentFileButton(const QString& path, QWidget* parent) : QAbstractButton(parent) {
    setText(path);
    setFont(systemFont(this, 12));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(verbatimToolTip(path));
    setStatusTip(path);
    setAccessibleName(path);
    makeKeyboardReachable(this);
}

QString RecentFileButton::displayedText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, width() - 2 * ringRoom);
}

QSize RecentFileButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text()) + 1 + 2 * ringRoom, fontMetrics().height() + 2 * ringRoom};
}

QSize RecentFileButton::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 8, fontMetrics().height() + 2 * ringRoom};
}

void RecentFileButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor color = accentColor(this);
    if (isDown()) color = color.darker(130);
    painter.setPen(color);
    painter.drawText(rect().adjusted(ringRoom, 0, -ringRoom, 0), Qt::AlignLeft | Qt::AlignVCenter, displayedText());
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) drawFocusRing(painter, this, rect());
}

} // namespace trimeo
