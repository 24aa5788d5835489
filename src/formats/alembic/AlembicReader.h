// Reader for Alembic files in the Ogawa container, on the bytes in memory. It walks the
// object hierarchy and reads the first sample of every AbcGeom_PolyMesh_v1 (points, faces,
// normals when given), AbcGeom_SubD_v1 (its control mesh) and AbcGeom_Xform_v3 (its ops
// composed into the node's transform). An instance is placed where it stands, as a node
// of its own name holding what its source object holds (geometry shared, not copied).
// Objects hidden at the first sample ("visible" = 0) are left out with everything below
// them. Other schemas, later samples and unreadable parts are skipped; they never fail the
// read.
#pragma once

#include "formats/common/ReaderResult.h"

#include <cstdint>
#include <span>

namespace trimeo {

// A scene with one node per shown Alembic object under the root; `count` is the number of meshes
// with at least one face (0 for bytes that are not an Ogawa archive).
// Throws LoaderError::parseError for the older HDF5 form of Alembic, which is not read.
// Safe on any input: every offset is checked, and depth and work are bounded.
std::optional<ReaderResult> readAlembic(const ReaderInput& input);

} // namespace trimeo
