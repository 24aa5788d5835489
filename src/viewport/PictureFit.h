// Narrows a camera's projection so that a box fills the picture: the camera keeps its
// place and direction, only the lens zooms and the picture's centre moves onto the box.
// Used for thumbnails, where the window's framing would leave most of a small square empty.
#pragma once

#include "scene/BoundingBox.h"

namespace trimeo {

// `projection` and `view` as the renderer uses them; `box` in world coordinates. The
// returned projection maps the box's eight corners into the middle `fraction` (0 to 1] of
// the picture's width or height, whichever is tighter, centred. Returns `projection`
// unchanged when the box is empty or not finite or a corner lies behind the camera.
scene::Matrix4 fitProjection(const scene::Matrix4& projection, const scene::Matrix4& view,
                             const scene::BoundingBox& box, double fraction);

} // namespace trimeo
