// Reader for Wavefront OBJ text on the bytes in memory: positions, normals, first UV set
// and polygon faces (triangulated as fans), one node per run of faces under one object or
// group and one `usemtl` (named after the object or group). Material libraries (`mtllib`,
// relative to the model; a name may hold spaces) and their textures are read through the
// input's related files; a run's node carries its material's diffuse colour and opacity
// or its diffuse texture (MaterialLibrary.h). Faces whose material is unknown, or whose
// library or texture cannot be read, carry no material and are drawn grey.
#pragma once

#include "formats/common/ReaderResult.h"

#include <cstdint>
#include <span>

namespace trimeo {

// Safe on any input: faces naming a vertex that does not exist are dropped; lines,
// points and statements it does not know are skipped. count = nodes with faces.
std::optional<ReaderResult> readOBJ(const ReaderInput& input);

} // namespace trimeo
