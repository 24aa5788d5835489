// The interface's icons: the desktop theme's icon where one of the same meaning exists,
// else the bundled SVG, so that every icon shows on any desktop.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace trimeo {

enum class IconName { cube, warning, play, pause, grid, gridFilled, open, application };

QIcon icon(IconName name);
// The icon drawn `size` logical pixels square in one colour (the palette's secondary text
// colour in the displays), so that theme icons and bundled ones look alike; drawn at
// `devicePixelRatio` so that it stays crisp on high-density screens.
QPixmap tintedPixmap(IconName name, int size, const QColor& color, qreal devicePixelRatio);

} // namespace trimeo
