#include "Framing.h"

#include <cmath>

namespace trimeo {

void centerAndScaleModel(scene::Node& container) {
    const scene::BoundingBox box = container.boundingBox();
    if (!std::isfinite(box.min.x) || !std::isfinite(box.max.x)) return;

    const scene::Vector3 centre{(box.min.x + box.max.x) * 0.5, (box.min.y + box.max.y) * 0.5,
                                (box.min.z + box.max.z) * 0.5};
    for (const scene::Node::Ptr& child : container.childNodes()) child->position = child->position - centre;

    // The moved children only shift the box, so the extents come from the box read above.
    const scene::Vector3 e = box.max - box.min;
    double largest = e.x;
    if (e.x <= e.y) largest = e.y;
    if (largest <= e.z) largest = e.z; // NaN compares false and keeps the value so far
    if (!(largest > 0) || std::isinf(largest)) return;

    const float f = static_cast<float>(largest);
    const float s = 2.0f / f;
    // A finite extent beyond float range, or one that rounds to 0, would give a scale of
    // 0 or infinity and make the model vanish; keep the scale instead.
    if (!std::isfinite(s) || !(s > 0)) return;
    container.scale = scene::Vector3(s, s, s);
}

} // namespace trimeo
