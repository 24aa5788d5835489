#include "Icons.h"

#include <QPainter>

namespace trimeo {

namespace {
struct IconSource {
    const char* themeName; // empty: no freedesktop icon means the same
    const char* resource;
};

IconSource sourceFor(IconName name) {
    switch (name) {
    case IconName::cube: return {"", ":/icons/cube.svg"};
    case IconName::warning: return {"dialog-warning", ":/icons/warning.svg"};
    case IconName::play: return {"media-playback-start", ":/icons/play.svg"};
    case IconName::pause: return {"media-playback-pause", ":/icons/pause.svg"};
    case IconName::grid: return {"", ":/icons/grid.svg"};
    case IconName::gridFilled: return {"", ":/icons/grid-fill.svg"};
    case IconName::open: return {"document-open", ":/icons/open.svg"};
    case IconName::application: return {"", ":/icons/trimeo.svg"};
    }
    return {"", ""};
}
} // namespace

QIcon icon(IconName name) {
    const IconSource source = sourceFor(name);
    const QIcon bundled(QString::fromLatin1(source.resource));
    if (*source.themeName == '\0') return bundled;
    return QIcon::fromTheme(QString::fromLatin1(source.themeName), bundled);
}

QPixmap tintedPixmap(IconName name, int size, const QColor& color) {
    QPixmap pixmap = icon(name).pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}

} // namespace trimeo
