// The grid floor: 42 thin grey line boxes one unit apart, one unit below the origin.
#pragma once

#include "scene/Node.h"

namespace trimeo {

// Line boxes are 10 units long and 0.005 thick, faint grey (alpha 0.15), single-sided.
// Children alternate: x-parallel line at z = i - 10, then z-parallel line at x = i - 10,
// for i = 0..20. The floor node sits at (0, -1, 0), unnamed, not attached to any scene.
scene::Node::Ptr createGridFloor();

} // namespace trimeo
