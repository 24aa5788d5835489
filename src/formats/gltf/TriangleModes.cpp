#include "TriangleModes.h"

namespace trimeo::gltf {

std::vector<std::uint32_t> stripToTriangles(std::span<const std::uint32_t> strip) {
    std::vector<std::uint32_t> out;
    if (strip.size() < 3) return out;
    out.reserve((strip.size() - 2) * 3);
    for (std::size_t i = 0; i + 2 < strip.size(); ++i) {
        const std::size_t odd = i % 2;
        out.insert(out.end(), {strip[i], strip[i + 1 + odd], strip[i + 2 - odd]});
    }
    return out;
}

std::vector<std::uint32_t> fanToTriangles(std::span<const std::uint32_t> fan) {
    std::vector<std::uint32_t> out;
    if (fan.size() < 3) return out;
    out.reserve((fan.size() - 2) * 3);
    for (std::size_t i = 0; i + 2 < fan.size(); ++i) out.insert(out.end(), {fan[i + 1], fan[i + 2], fan[0]});
    return out;
}

} // namespace trimeo::gltf
