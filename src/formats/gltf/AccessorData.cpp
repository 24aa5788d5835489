#include "AccessorData.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace trimeo::gltf {
namespace {

std::uint32_t littleEndian(const std::uint8_t* p, std::size_t width) {
    std::uint32_t bits = 0;
    for (std::size_t b = 0; b < width; ++b) bits |= std::uint32_t(p[b]) << (8 * b);
    return bits;
}

// One component at `p` as a float.
float component(const std::uint8_t* p, std::int64_t type, bool normalized) {
    const std::uint32_t bits = littleEndian(p, componentSize(type));
    switch (type) {
    case floatComponent: return std::bit_cast<float>(bits);
    case signedByte: {
        const auto v = float(std::int8_t(bits));
        return normalized ? std::max(v / 127.0f, -1.0f) : v;
    }
    case unsignedByte: return normalized ? float(bits) / 255.0f : float(bits);
    case signedShort: {
        const auto v = float(std::int16_t(bits));
        return normalized ? std::max(v / 32767.0f, -1.0f) : v;
    }
    case unsignedShort: return normalized ? float(bits) / 65535.0f : float(bits);
    default: return normalized ? float(double(bits) / 4294967295.0) : float(bits); // unsignedInt
    }
}

// Calls visit(elementBytes, i) for every element of the run, reading the buffer a slice at a
// time so that strided data is never held whole.
template <typename Visit>
void forEachElement(const BinaryBuffer& buffer, ElementRun run, Visit visit) {
    constexpr std::size_t sliceBytes = std::size_t(64) << 10;
    const std::size_t perSlice = std::max<std::size_t>(1, sliceBytes / run.stride);
    std::vector<std::uint8_t> slice;
    for (std::size_t first = 0; first < run.count; first += perSlice) {
        const std::size_t n = std::min(perSlice, run.count - first);
        slice.resize((n - 1) * run.stride + run.size);
        if (!buffer.read(run.start + first * run.stride, slice.size(), slice.data())) return;
        for (std::size_t i = 0; i < n; ++i) visit(slice.data() + i * run.stride, first + i);
    }
}

bool packed(ElementRun run) { return run.stride == run.size; }

} // namespace

std::size_t componentSize(std::int64_t componentType) {
    switch (componentType) {
    case signedByte:
    case unsignedByte: return 1;
    case signedShort:
    case unsignedShort: return 2;
    case unsignedInt:
    case floatComponent: return 4;
    default: return 0;
    }
}

ElementRun elementRun(std::size_t bufferLength, std::int64_t viewOffset, std::int64_t accessorOffset,
                      std::int64_t count, std::size_t elementSize, std::size_t stride) {
    if (stride == 0) stride = elementSize;
    std::int64_t start = 0;
    if (viewOffset < 0 || accessorOffset < 0 || count <= 0 || elementSize == 0 || stride < elementSize) return {};
    if (__builtin_add_overflow(viewOffset, accessorOffset, &start)) return {};
    if (std::uint64_t(start) > bufferLength || bufferLength - std::uint64_t(start) < elementSize) return {};
    // Element i fits when start + i * stride + elementSize <= bufferLength.
    const std::uint64_t fits = (bufferLength - std::uint64_t(start) - elementSize) / stride + 1;
    const std::uint64_t n = std::min<std::uint64_t>(fits, std::uint64_t(count));
    return {std::size_t(start), std::size_t(n), stride, elementSize};
}

std::vector<float> readFloats(const BinaryBuffer& buffer, ElementRun run, std::int64_t componentType,
                              std::size_t components, bool normalized) {
    const std::size_t width = componentSize(componentType);
    if (run.count == 0 || width == 0 || run.size != width * components) return {};
    std::vector<float> out(run.count * components);
    if (componentType == floatComponent && packed(run) && std::endian::native == std::endian::little) {
        // The buffer's bytes are the output as they stand.
        if (!buffer.read(run.start, out.size() * 4, reinterpret_cast<std::uint8_t*>(out.data()))) return {};
        return out;
    }
    forEachElement(buffer, run, [&](const std::uint8_t* element, std::size_t i) {
        for (std::size_t c = 0; c < components; ++c)
            out[i * components + c] = component(element + c * width, componentType, normalized);
    });
    return out;
}

std::vector<std::uint32_t> readUnsigned(const BinaryBuffer& buffer, ElementRun run, std::int64_t componentType) {
    if (componentType != unsignedByte && componentType != unsignedShort && componentType != unsignedInt) return {};
    const std::size_t width = componentSize(componentType);
    if (run.count == 0 || run.size != width) return {};
    std::vector<std::uint32_t> out(run.count);
    if (componentType == unsignedInt && packed(run) && std::endian::native == std::endian::little) {
        if (!buffer.read(run.start, out.size() * 4, reinterpret_cast<std::uint8_t*>(out.data()))) return {};
        return out;
    }
    forEachElement(buffer, run, [&](const std::uint8_t* element, std::size_t i) { out[i] = littleEndian(element, width); });
    return out;
}

} // namespace trimeo::gltf
