// The two schemas that carry what a viewer shows, turned into scene values.
#pragma once

#include "scene/Geometry.h"
#include "scene/Node.h"
#include "scene/Transform.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace trimeo::alembic {

// One sample of AbcGeom_PolyMesh_v1.
struct PolyMeshSample {
    std::vector<float> positions;      // P, xyz per point
    std::vector<std::int32_t> counts;  // .faceCounts, corners per face
    std::vector<std::int32_t> indices; // .faceIndices, point index per corner
    std::vector<float> normals;        // N, xyz per corner or per point; anything else is ignored
};

// Fan-triangulated geometry, or nothing when no face survives. Faces with fewer than three
// corners, with a point index out of range, or beyond the end of .faceIndices are dropped.
// Alembic winds faces clockwise; the triangles come out counter-clockwise.
std::optional<scene::Geometry> buildPolyMesh(const PolyMeshSample& sample);

// The matrix of AbcGeom_Xform_v3's ops (one byte each: type in the high nibble) over their
// channel values, in column-vector form: the first op is outermost. Ops whose channels run
// past the end of `values`, and unknown op types, end the composition there.
scene::Matrix4 composeXformOps(std::span<const std::uint8_t> ops, std::span<const double> values);

// Sets the node's position, orientation and scale from an affine matrix (shear is lost).
void setNodeTransform(scene::Node& node, const scene::Matrix4& matrix);

} // namespace trimeo::alembic
