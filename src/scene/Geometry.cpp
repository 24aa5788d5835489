#include "Geometry.h"

#include <algorithm>
#include <numeric>

namespace trimeo::scene {

GeometrySource GeometrySource::vertices(std::span<const Vector3> points) {
    std::vector<float> xyz;
    xyz.reserve(points.size() * 3);
    for (const Vector3& p : points) {
        xyz.push_back(static_cast<float>(p.x));
        xyz.push_back(static_cast<float>(p.y));
        xyz.push_back(static_cast<float>(p.z));
    }
    return vertices(std::move(xyz));
}

Geometry::Geometry(std::vector<GeometrySource> s, std::vector<GeometryElement> e)
    : sources(std::move(s)), elements(std::move(e)) {}

const GeometrySource* Geometry::source(Semantic semantic) const {
    for (const GeometrySource& s : sources)
        if (s.semantic == semantic) return &s;
    return nullptr;
}

std::size_t Geometry::vertexCount() const {
    const GeometrySource* v = source(Semantic::vertex);
    return v ? v->vectorCount() : 0;
}

BoundingBox Geometry::boundingBox() const {
    BoundingBox box;
    const GeometrySource* v = source(Semantic::vertex);
    if (!v || v->componentsPerVector < 3) return box;
    const std::size_t n = v->vectorCount(), stride = v->componentsPerVector;
    if (n == 0) return box;
    // Plain float min/max over the flat array: this runs over millions of vertices.
    const float* p = v->data.data();
    float lo[3] = {p[0], p[1], p[2]}, hi[3] = {p[0], p[1], p[2]};
    for (std::size_t i = 0; i < n; ++i, p += stride)
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], p[c]);
            hi[c] = std::max(hi[c], p[c]);
        }
    box.min = {lo[0], lo[1], lo[2]};
    box.max = {hi[0], hi[1], hi[2]};
    return box;
}

std::vector<std::uint32_t> Geometry::validTriangleIndices(std::size_t element) const {
    std::vector<std::uint32_t> out;
    if (element >= elements.size()) return out;
    const auto& idx = elements[element].indices;
    const std::size_t vc = vertexCount();
    if (elements[element].isSequential()) {
        out.resize(std::min(elements[element].sequentialCount, vc) / 3 * 3);
        std::iota(out.begin(), out.end(), std::uint32_t(0));
        return out;
    }
    const std::size_t full = idx.size() / 3 * 3;
    out.reserve(full);
    for (std::size_t i = 0; i < full; i += 3)
        if (idx[i] < vc && idx[i + 1] < vc && idx[i + 2] < vc) out.insert(out.end(), &idx[i], &idx[i] + 3);
    return out;
}

std::size_t Geometry::validTriangleCount() const {
    const std::size_t vc = vertexCount();
    std::size_t count = 0;
    for (const GeometryElement& e : elements) {
        if (e.isSequential()) count += std::min(e.sequentialCount, vc) / 3;
        const auto& idx = e.indices;
        for (std::size_t i = 0; i + 2 < idx.size(); i += 3)
            count += idx[i] < vc && idx[i + 1] < vc && idx[i + 2] < vc;
    }
    return count;
}

} // namespace trimeo::scene
