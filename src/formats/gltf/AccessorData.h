// Raw reads of accessor elements from a binary buffer. Every offset, count and stride comes
// from the file and is hostile until checked: only elements lying wholly inside the buffer are
// read, and nothing is allocated for elements that are not there.
#pragma once

#include "BinaryBuffer.h"

#include <cstdint>
#include <vector>

namespace trimeo::gltf {

// glTF component types.
constexpr std::int64_t signedByte = 5120, unsignedByte = 5121, signedShort = 5122, unsignedShort = 5123,
                       unsignedInt = 5125, floatComponent = 5126;

// Bytes per component; 0 for a type glTF does not define.
std::size_t componentSize(std::int64_t componentType);

// The run of elements an accessor names that lies wholly inside the buffer.
struct ElementRun {
    std::size_t start = 0;  // byte offset of element 0
    std::size_t count = 0;  // elements from `start` on, all inside
    std::size_t stride = 0; // bytes from one element's start to the next
    std::size_t size = 0;   // bytes of one element
};

// Element i starts at viewOffset + accessorOffset + i * stride (stride 0: the element size,
// i.e. tightly packed). Elements lie at rising offsets, so the run ends at the first one that
// reaches past the end of the buffer, and `count` never exceeds what the buffer can hold. A
// negative offset or count, a stride below the element size, or a sum that overflows gives an
// empty run (as if past the end).
ElementRun elementRun(std::size_t bufferLength, std::int64_t viewOffset, std::int64_t accessorOffset,
                      std::int64_t count, std::size_t elementSize, std::size_t stride = 0);

// `components` values per element, each converted to float: floats as they are, integers
// either as plain values or, when `normalized`, mapped to [0, 1] (unsigned) or [-1, 1]
// (signed) as glTF defines. An unknown component type, or an element size that does not match
// `components` values of that type, reads nothing.
std::vector<float> readFloats(const BinaryBuffer& buffer, ElementRun run, std::int64_t componentType,
                              std::size_t components, bool normalized);

// One unsigned value per element (5121, 5123 or 5125), widened to 32 bits; nothing for any
// other component type.
std::vector<std::uint32_t> readUnsigned(const BinaryBuffer& buffer, ElementRun run, std::int64_t componentType);

} // namespace trimeo::gltf
