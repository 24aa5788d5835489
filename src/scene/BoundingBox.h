// Axis-aligned bounding box. An empty box has min = +inf and max = -inf,
// so its corners are non-finite and framing leaves such a model alone.
#pragma once

#include "Transform.h"

#include <limits>

namespace trimeo::scene {

struct BoundingBox {
    static constexpr double inf = std::numeric_limits<double>::infinity();
    Vector3 min{inf, inf, inf};
    Vector3 max{-inf, -inf, -inf};

    bool isEmpty() const { return !(min.x <= max.x && min.y <= max.y && min.z <= max.z); }
    void add(Vector3 p);
    void add(const BoundingBox& other);
    // The box around this box's eight corners after the transform.
    BoundingBox transformed(const Matrix4& t) const;
};

} // namespace trimeo::scene
