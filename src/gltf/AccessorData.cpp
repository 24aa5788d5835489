#include "AccessorData.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace trimeo::gltf {
namespace {

// A run that the caller claims lies inside the buffer: checked once more here, cheaply, so a
// bad run can never become a read outside it.
bool inside(std::span<const std::uint8_t> buffer, ElementRun run, std::size_t elementSize) {
    return run.start <= buffer.size() && run.count <= (buffer.size() - run.start) / elementSize;
}

// Copies `count` little-endian values of type T; on a little-endian host this is one memcpy.
template <typename T, typename Out>
std::vector<Out> readLittleEndian(const std::uint8_t* p, std::size_t count) {
    std::vector<Out> out(count);
    if constexpr (std::endian::native == std::endian::little && sizeof(T) == sizeof(Out)) {
        std::memcpy(out.data(), p, count * sizeof(T));
    } else {
        for (std::size_t i = 0; i < count; ++i, p += sizeof(T)) {
            std::uint32_t bits = 0;
            for (std::size_t b = 0; b < sizeof(T); ++b) bits |= std::uint32_t(p[b]) << (8 * b);
            if constexpr (sizeof(T) == 4) std::memcpy(&out[i], &bits, 4);
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

std::vector<float> readFloat3(std::span<const std::uint8_t> buffer, ElementRun run) {
    if (!inside(buffer, run, 12)) return {};
    return readLittleEndian<std::uint32_t, float>(buffer.data() + run.start, run.count * 3);
}

std::vector<std::uint32_t> readUint32(std::span<const std::uint8_t> buffer, ElementRun run) {
    if (!inside(buffer, run, 4)) return {};
    return readLittleEndian<std::uint32_t, std::uint32_t>(buffer.data() + run.start, run.count);
}

std::vector<std::uint32_t> readUint16(std::span<const std::uint8_t> buffer, ElementRun run) {
    if (!inside(buffer, run, 2)) return {};
    return readLittleEndian<std::uint16_t, std::uint32_t>(buffer.data() + run.start, run.count);
}

} // namespace trimeo::gltf
