// A Mesh prim's drawable geometry: points, faces as fans (faces of fewer than three corners
// and faces past the end of faceVertexIndices are dropped, a negative index drops its face),
// winding reversed for orientation "leftHanded", normals kept when they are given per point
// or per face corner ("faceVarying", which unshares the corners), and the first
// primvars:displayColor (with primvars:displayOpacity) as the diffuse colour.
// Returns null when no triangle is left.
#pragma once

#include "UsdStage.h"
#include "scene/Geometry.h"

#include <memory>

namespace trimeo::usd {

std::shared_ptr<scene::Geometry> meshGeometry(const Prim& mesh);

} // namespace trimeo::usd
