#include "AccessorData.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace trimeo::gltf {
namespace {

// Reads `count` little-endian values of `Width` bytes into values of type Out. On a
// little-endian host with equal widths the buffer's bytes land in the output as they are.
template <std::size_t Width, typename Out>
std::vector<Out> readLittleEndian(const BinaryBuffer& buffer, std::size_t start, std::size_t count) {
    if (count > (buffer.size() - std::min(start, buffer.size())) / Width) return {};
    std::vector<Out> out(count);
    if constexpr (std::endian::native == std::endian::little && Width == sizeof(Out)) {
        if (!buffer.read(start, count * Width, reinterpret_cast<std::uint8_t*>(out.data()))) return {};
    } else {
        std::vector<std::uint8_t> raw(count * Width);
        if (!buffer.read(start, raw.size(), raw.data())) return {};
        for (std::size_t i = 0; i < count; ++i) {
            std::uint32_t bits = 0;
            for (std::size_t b = 0; b < Width; ++b) bits |= std::uint32_t(raw[i * Width + b]) << (8 * b);
            if constexpr (Width == sizeof(Out)) std::memcpy(&out[i], &bits, Width);
            else out[i] = Out(bits);
        }
    }
    return out;
}

} // namespace

ElementRun elementRun(std::size_t bufferLength, std::int64_t viewOffset, std::int64_t accessorOffset,
                      std::int64_t count, std::size_t elementSize) {
    std::int64_t start = 0;
    if (viewOffset < 0 || accessorOffset < 0 || count <= 0 || elementSize == 0) return {};
    if (__builtin_add_overflow(viewOffset, accessorOffset, &start)) return {};
    if (std::uint64_t(start) > bufferLength) return {};
    const std::uint64_t fits = (bufferLength - std::uint64_t(start)) / elementSize;
    const std::uint64_t n = std::min<std::uint64_t>(fits, std::uint64_t(count));
    if (n == 0) return {};
    return {std::size_t(start), std::size_t(n)};
}

std::vector<float> readFloat3(const BinaryBuffer& buffer, ElementRun run) {
    return readLittleEndian<4, float>(buffer, run.start, run.count * 3);
}

std::vector<std::uint32_t> readUint32(const BinaryBuffer& buffer, ElementRun run) {
    return readLittleEndian<4, std::uint32_t>(buffer, run.start, run.count);
}

std::vector<std::uint32_t> readUint16(const BinaryBuffer& buffer, ElementRun run) {
    return readLittleEndian<2, std::uint32_t>(buffer, run.start, run.count);
}

} // namespace trimeo::gltf
