#include "BoundingBox.h"

#include <algorithm>

namespace trimeo::scene {

void BoundingBox::add(Vector3 p) {
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

void BoundingBox::add(const BoundingBox& other) {
    if (other.isEmpty()) return;
    add(other.min);
    add(other.max);
}

BoundingBox BoundingBox::transformed(const Matrix4& t) const {
    BoundingBox out;
    if (isEmpty()) return out;
    for (int i = 0; i < 8; ++i)
        out.add(t.transformPoint({(i & 1) ? max.x : min.x, (i & 2) ? max.y : min.y, (i & 4) ? max.z : min.z}));
    return out;
}

} // namespace trimeo::scene
