// A prim's local transform from its xformOpOrder: translate, scale, orient, transform and
// the rotations (rotateX/Y/Z and the six three-axis orders, angles in degrees), each with an
// optional ":suffix" and the "!invert!" prefix. Ops named in the order but missing or with
// too few numbers count as identity; "!resetXformStack!" is ignored. Column-vector convention:
// the first op in the order is the outermost.
#pragma once

#include "UsdStage.h"
#include "scene/Transform.h"

namespace trimeo::usd {

scene::Matrix4 localTransform(const Prim& prim);

// Splits an affine matrix into translation, rotation and scale (shear is lost; a mirror
// becomes a negative x scale). A degenerate axis keeps scale 0 and identity rotation.
struct Decomposed {
    scene::Vector3 translation;
    scene::Quaternion rotation;
    scene::Vector3 scale{1, 1, 1};
};
Decomposed decompose(const scene::Matrix4& m);

} // namespace trimeo::usd
