// Reader for STL files, binary and ASCII, on the bytes in memory. STL is the commonest
// file a viewer gets and the simplest: reading it ourselves is many times faster than
// the asset library and runs no third-party code on it.
#pragma once

#include "formats/common/ReaderResult.h"

#include <cstdint>
#include <optional>
#include <span>

namespace trimeo {

// A scene with one node per solid (three unshared vertices per facet, no normals: the
// renderer derives them), or nothing when the bytes are neither form of STL.
// Safe on any input: every read is bounds-checked against the bytes.
std::optional<ReaderResult> readSTL(const ReaderInput& input);

} // namespace trimeo
