#include "WindowPlacement.h"

#include "Settings.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace trimeo {

namespace {
const QString frameKey = QStringLiteral("window/frame");
const QString maximizedKey = QStringLiteral("window/maximized");

// Decorations as the window system reports them now: zero until the window manager has
// framed the window (or when there is none).
QMargins decorations(const QWidget* window) {
    const QRect inside = window->geometry(), outside = window->frameGeometry();
    return {inside.left() - outside.left(), inside.top() - outside.top(), outside.right() - inside.right(),
            outside.bottom() - inside.bottom()};
}

void setFrame(QWidget* window, const QRect& frame) {
    window->setGeometry(frame.marginsRemoved(decorations(window)));
}

// Sets the frame now, and again each time the decorations change during the first second
// (the window manager framing the window); a move or resize by anyone else is left alone.
void keepFrame(QWidget* window, const QRect& frame) {
    setFrame(window, frame);
    auto* follow = new QTimer(window);
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    auto margins = std::make_shared<QMargins>(decorations(window));
    follow->setInterval(25);
    QObject::connect(follow, &QTimer::timeout, window, [window, frame, follow, since, margins] {
        if (window->isMaximized() || window->isFullScreen() || since->elapsed() > 1000) {
            follow->deleteLater();
            return;
        }
        const QMargins now = decorations(window);
        if (now == *margins) return;
        *margins = now;
        setFrame(window, frame);
    });
    follow->start();
}
} // namespace

QRect defaultFrame(const QRect& available) {
    const int width = qRound(available.width() * 0.65);
    return {available.left() + qRound((available.width() - width) / 2.0), available.top(), width, available.height()};
}

std::optional<RememberedPlacement> rememberedPlacement(const QList<QRect>& availableAreas) {
    TrimeoSettings settings;
    const QRect frame = settings.value(frameKey).toRect();
    if (!frame.isValid() || frame.width() < 100 || frame.height() < 100) return std::nullopt;
    for (const QRect& area : availableAreas)
        if (area.contains(frame)) return RememberedPlacement{frame, settings.value(maximizedKey).toBool()};
    return std::nullopt;
}

void rememberPlacement(const RememberedPlacement& placement) {
    TrimeoSettings settings;
    settings.setValue(frameKey, placement.frame);
    settings.setValue(maximizedKey, placement.maximized);
    settings.sync();
}

void placeWindow(QWidget* window) {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) areas.append(screen->availableGeometry());
    if (const auto remembered = rememberedPlacement(areas)) {
        keepFrame(window, remembered->frame);
        if (remembered->maximized) window->showMaximized();
        return;
    }
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    keepFrame(window, defaultFrame(screen->availableGeometry()));
}

void rememberPlacement(const QWidget* window) {
    const bool maximized = window->isMaximized();
    // Maximised or full screen, the frame to come back to is the one from before.
    const QRect frame = maximized || window->isFullScreen()
                            ? window->normalGeometry().marginsAdded(decorations(window))
                            : window->frameGeometry();
    rememberPlacement({frame, maximized});
}

} // namespace trimeo
