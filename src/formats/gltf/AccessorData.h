// Raw reads of accessor elements from the binary buffer. Every offset and count comes from the
// file and is hostile until checked: only elements lying wholly inside the buffer are read.
#pragma once

#include "BinaryBuffer.h"

#include <cstdint>
#include <vector>

namespace trimeo::gltf {

// The run of elements an accessor names that lies wholly inside the buffer.
struct ElementRun {
    std::size_t start = 0; // byte offset of element 0
    std::size_t count = 0; // elements from `start` on, each `elementSize` bytes, all inside
};

// Element i starts at viewOffset + accessorOffset + i * elementSize. Elements lie at rising
// offsets, so the run ends at the first one that reaches past the end of the buffer, and
// `count` never exceeds what the buffer can hold. A negative offset or count, or a sum that
// overflows, gives an empty run (as if past the end).
ElementRun elementRun(std::size_t bufferLength, std::int64_t viewOffset, std::int64_t accessorOffset,
                      std::int64_t count, std::size_t elementSize);

// Little-endian element decoders; a run reaching outside the buffer reads nothing.
std::vector<float> readFloat3(const BinaryBuffer& buffer, ElementRun run); // x, y, z per element
std::vector<std::uint32_t> readUint32(const BinaryBuffer& buffer, ElementRun run);
std::vector<std::uint32_t> readUint16(const BinaryBuffer& buffer, ElementRun run); // widened

} // namespace trimeo::gltf
