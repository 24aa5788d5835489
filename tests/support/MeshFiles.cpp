#include "MeshFiles.h"

#include <cmath>
#include <numbers>

namespace trimeo::test {
using scene::Vector3;

std::vector<float> unitCubeCorners() {
    std::vector<float> xyz;
    for (int i = 0; i < 8; ++i) xyz.insert(xyz.end(), {float(i & 1), float(i >> 1 & 1), float(i >> 2 & 1)});
    return xyz;
}

const std::vector<std::uint32_t> unitCubeTriangles{0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                                                   2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};

std::vector<Triangle> boxTriangles(Vector3 lo, Vector3 hi) {
    auto p = [&](std::uint32_t i) { return Vector3(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z); };
    std::vector<Triangle> out;
    for (std::size_t t = 0; t < unitCubeTriangles.size(); t += 3)
        out.push_back({p(unitCubeTriangles[t]), p(unitCubeTriangles[t + 1]), p(unitCubeTriangles[t + 2])});
    return out;
}

std::vector<Triangle> sphereTriangles(int rings, int segments) {
    auto at = [&](int r, int s) {
        const double theta = std::numbers::pi * r / rings, phi = 2 * std::numbers::pi * s / segments;
        return Vector3(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
    };
    std::vector<Triangle> out;
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            if (r != 0) out.push_back({at(r, s), at(r + 1, s), at(r, s + 1)});
            if (r != rings - 1) out.push_back({at(r, s + 1), at(r + 1, s), at(r + 1, s + 1)});
        }
    return out;
}

std::vector<std::uint8_t> binarySTL(const std::vector<Triangle>& triangles) {
    std::vector<std::uint8_t> out(80, 0);
    out.reserve(84 + triangles.size() * 50);
    auto put = [&](const void* p, std::size_t n) {
        out.insert(out.end(), static_cast<const std::uint8_t*>(p), static_cast<const std::uint8_t*>(p) + n);
    };
    const std::uint32_t count = std::uint32_t(triangles.size());
    put(&count, 4);
    for (const Triangle& t : triangles) {
        const float normal[3] = {0, 0, 0};
        put(normal, sizeof normal);
        for (Vector3 v : {t.a, t.b, t.c}) {
            const float xyz[3] = {float(v.x), float(v.y), float(v.z)};
            put(xyz, sizeof xyz);
        }
        const std::uint16_t attributes = 0;
        put(&attributes, 2);
    }
    return out;
}

} // namespace trimeo::test
