// A box centred on the origin, the scene layer's one built-in shape.
#pragma once

#include "Geometry.h"

#include <memory>

namespace trimeo::scene {

// width along x, height along y, length along z. Rounded edges are not modelled:
// the viewer only uses a chamfer radius of 0. The box comes with one default material.
std::shared_ptr<Geometry> makeBox(double width, double height, double length, double chamferRadius = 0);

} // namespace trimeo::scene
