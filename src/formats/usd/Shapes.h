// The implicit shapes (Cube, Sphere, Cylinder, Cone, Capsule, Plane) as triangle meshes with
// normals, sized by their attributes and the schema's fallbacks: Cube size 2; Sphere radius
// 1; Cylinder and Cone radius 1, height 2; Capsule radius 0.5, height 1 (the straight part,
// the caps add a radius at each end); Plane width 2, length 2; axis "Z" unless "X" or "Y".
// Round shapes have kShapeSlices segments around the axis, enough to look round at the
// default view. Null for any other type, or for sizes that are not finite.
#pragma once

#include "UsdStage.h"
#include "scene/Geometry.h"

#include <memory>

namespace trimeo::usd {

inline constexpr int kShapeSlices = 48;

bool isShape(const std::string& typeName);
std::shared_ptr<scene::Geometry> shapeGeometry(const Prim& prim);

} // namespace trimeo::usd
