// EXT_meshopt_compression: a bufferView whose bytes are stored compressed with
// meshoptimizer's vertex or index codec, with an optional filter over the result.
#pragma once

#include "BufferSet.h"

#include <optional>
#include <vector>

namespace trimeo::gltf {

// The view's decoded bytes ("count" elements of "byteStride" bytes), from the extension
// object `extension`. Nullopt when a field is missing or outside what the codec accepts
// (checked here: the library asserts rather than fails on them), when the source range lies
// outside its buffer, when the output would exceed `budget`, or when the data does not decode.
std::optional<std::vector<std::uint8_t>> decodeMeshoptView(const JSON& extension, BufferSet& buffers,
                                                          DecodeBudget& budget);

} // namespace trimeo::gltf
