// Reader for Wavefront OBJ text on the bytes in memory: positions, normals, first UV set
// and polygon faces (triangulated as fans), one node per object or group that has faces.
// Material libraries sit beside the original file, which the loader never sees, so faces
// carry no material and are drawn grey.
#pragma once

#include "formats/common/ReaderResult.h"

#include <cstdint>
#include <span>

namespace trimeo {

// Safe on any input: faces naming a vertex that does not exist are dropped; lines,
// points and statements it does not know are skipped. count = nodes with faces.
std::optional<ReaderResult> readOBJ(const ReaderInput& input);

} // namespace trimeo
