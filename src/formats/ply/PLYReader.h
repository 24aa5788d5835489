// Reader for PLY meshes (ASCII and both binary byte orders) on the bytes in memory:
// positions, normals when all three are present, and polygon faces split into triangle
// fans. Scans are the commonest big PLY files; reading them here is many times faster
// than the asset library's child process.
#pragma once

#include "formats/common/ReaderResult.h"

#include <cstdint>
#include <optional>
#include <span>

namespace trimeo {

// A scene with one node, or nothing when the bytes are a PLY this reader leaves to the
// asset library (texture coordinates or a texture file, triangle strips, a header it does
// not follow) or no PLY at all. A file cut off anywhere, header included, reads as holding
// nothing (count 0). Safe on any input: every read is bounds-checked, and no
// count from the header reserves more memory than the bytes could hold.
std::optional<ReaderResult> readPLY(const ReaderInput& input);

} // namespace trimeo
