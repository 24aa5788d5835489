// Narrows a camera's projection so that a model fills the picture: the camera keeps its
// place and direction, only the lens zooms and the picture's centre moves onto the model.
// Used for thumbnails, where the window's framing would leave most of a small square empty.
#pragma once

#include "scene/Node.h"

namespace trimeo {

// `projection` and `view` as the renderer uses them. The returned projection maps the
// vertices of every geometry below and at `root` (placed by their nodes' transforms, root
// included) into the middle `fraction` (0 to 1] of the picture's width or height,
// whichever is tighter, centred. Very large meshes are sampled (a few million vertices in
// all). Returns `projection` unchanged when there is no finite vertex, a vertex lies
// behind the camera, or `fraction` is out of range.
scene::Matrix4 fitProjection(const scene::Matrix4& projection, const scene::Matrix4& view, const scene::Node& root,
                             double fraction);

} // namespace trimeo
