// Where the main window goes. The first time, its frame (title bar and borders included)
// takes 65 % of the usable width and the whole usable height of its screen, centred.
// After that, the frame and maximised state it had when it last closed, kept in the
// settings, as long as that frame still lies inside a present screen's usable area.
#pragma once

#include <QList>
#include <QRect>

#include <optional>

class QWidget;

namespace trimeo {

// The design's frame on a screen whose usable area is `available`.
QRect defaultFrame(const QRect& available);

struct RememberedPlacement {
    QRect frame;
    bool maximized = false;
};
// The stored placement, if any, that fits inside one of `availableAreas`.
std::optional<RememberedPlacement> rememberedPlacement(const QList<QRect>& availableAreas);
void rememberPlacement(const RememberedPlacement& placement);

// Places `window` (shown, top level) as above. Window managers add the frame after the
// window is mapped, so the frame is checked again for a moment and corrected once its
// size is known.
void placeWindow(QWidget* window);
// Stores where `window` is now (its frame before maximising, when maximised).
void rememberPlacement(const QWidget* window);

} // namespace trimeo
