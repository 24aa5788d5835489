#include "Icons.h"

#include <QHash>
#include <QPainter>

// A static library's resources are not registered on their own; outside any namespace
// as Q_INIT_RESOURCE requires.
static void registerBundledIcons() { Q_INIT_RESOURCE(app); }

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
    static const bool registered = (registerBundledIcons(), true);
    Q_UNUSED(registered);
    // Built once: the toolbar asks again on every change of state.
    static QHash<IconName, QIcon> built;
    if (auto found = built.constFind(name); found != built.cend()) return *found;
    const IconSource source = sourceFor(name);
    const QIcon bundled(QString::fromLatin1(source.resource));
    const QIcon chosen = *source.themeName == '\0' ? bundled
                                                   : QIcon::fromTheme(QString::fromLatin1(source.themeName), bundled);
    built.insert(name, chosen);
    return chosen;
}

QPixmap tintedPixmap(IconName name, int size, const QColor& color, qreal devicePixelRatio) {
    QPixmap pixmap = icon(name).pixmap(QSize(size, size), devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(QPointF(0, 0), pixmap.deviceIndependentSize()), color);
    return pixmap;
}

} // namespace trimeo
