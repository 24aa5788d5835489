#include "MeshData.h"

#include <cmath>

namespace trimeo {

std::span<const std::uint32_t> drawableIndices(const scene::Geometry& geometry, std::size_t element,
                                               std::vector<std::uint32_t>& scratch) {
    if (element >= geometry.elements.size()) return {};
    const auto& idx = geometry.elements[element].indices;
    const std::size_t full = idx.size() / 3 * 3;
    const std::size_t vc = geometry.vertexCount();
    bool allValid = true;
    for (std::size_t i = 0; i < full && allValid; ++i) allValid = idx[i] < vc;
    if (allValid) return {idx.data(), full};
    scratch = geometry.validTriangleIndices(element);
    return scratch;
}

std::vector<float> computeVertexNormals(std::span<const float> p, std::size_t stride,
                                        std::span<const std::uint32_t> tri) {
    const std::size_t n = stride >= 3 ? p.size() / stride : 0;
    std::vector<float> out(n * 3, 0.0f);
    for (std::size_t t = 0; t + 2 < tri.size(); t += 3) {
        const float* a = &p[tri[t] * stride];
        const float* b = &p[tri[t + 1] * stride];
        const float* c = &p[tri[t + 2] * stride];
        const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        // The unnormalised cross product weighs each face by its area.
        const float fn[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        for (int k = 0; k < 3; ++k) {
            float* o = &out[tri[t + k] * 3];
            o[0] += fn[0], o[1] += fn[1], o[2] += fn[2];
        }
    }
    for (std::size_t v = 0; v < n; ++v) {
        float* o = &out[v * 3];
        const float len = std::sqrt(o[0] * o[0] + o[1] * o[1] + o[2] * o[2]);
        if (len > 0 && std::isfinite(len)) {
            o[0] /= len, o[1] /= len, o[2] /= len;
        } else {
            o[0] = 0, o[1] = 0, o[2] = 1;
        }
    }
    return out;
}

const scene::GeometrySource* usableNormals(const scene::Geometry& geometry) {
    const scene::GeometrySource* s = geometry.source(scene::Semantic::normal);
    if (!s || s->componentsPerVector != 3 || s->vectorCount() != geometry.vertexCount()) return nullptr;
    return s;
}

const scene::GeometrySource* usableTexcoords(const scene::Geometry& geometry) {
    const scene::GeometrySource* s = geometry.source(scene::Semantic::texcoord);
    if (!s || s->componentsPerVector < 2 || s->vectorCount() != geometry.vertexCount()) return nullptr;
    return s;
}

} // namespace trimeo
