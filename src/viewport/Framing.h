// Framing: puts a model's bounding-box centre at its container's origin and scales the
// container so that the largest extent becomes 2 units, whatever units the file used.
// A skinned geometry counts where its joints put it (as it is drawn), not where its own
// node would.
#pragma once

#include "scene/Node.h"

namespace trimeo {

// Shifts every child of `container` by minus the box centre and sets the container's
// uniform scale to 2 / largest extent (computed in 32-bit float). Leaves everything alone
// when min.x or max.x is not finite; keeps the scale (children still shifted) when the
// largest extent is not a positive finite number or the factor would not be finite.
// Never touches the container's own position or rotation.
void centerAndScaleModel(scene::Node& container);

} // namespace trimeo
