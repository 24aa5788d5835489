#include "ViewportPicking.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trimeo {

std::optional<scene::Matrix4> inverse(const scene::Matrix4& matrix) {
    // Gauss-Jordan with partial pivoting on [m | I].
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = matrix.at(r, c);
            a[r][c + 4] = r == c ? 1 : 0;
        }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::abs(a[r][c]) > std::abs(a[pivot][c])) pivot = r;
        if (!(std::abs(a[pivot][c]) > 1e-300)) return std::nullopt;
        if (pivot != c)
            for (int k = 0; k < 8; ++k) std::swap(a[c][k], a[pivot][k]);
        const double scale = 1.0 / a[c][c];
        for (int k = 0; k < 8; ++k) a[c][k] *= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == c || a[r][c] == 0) continue;
            const double f = a[r][c];
            for (int k = 0; k < 8; ++k) a[r][k] -= f * a[c][k];
        }
    }
    scene::Matrix4 out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out.at(r, c) = a[r][c + 4];
    return out;
}

namespace {

std::array<double, 4> apply(const scene::Matrix4& m, std::array<double, 4> v) {
    std::array<double, 4> out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[r] += m.at(r, c) * v[c];
    return out;
}

} // namespace

std::optional<scene::Vector3> unprojectDepth(double x, double y, int width, int height, double depth,
                                             const scene::Matrix4& inverseViewProjection) {
    if (width <= 0 || height <= 0 || !(depth < 1.0) || !(depth >= 0.0)) return std::nullopt;
    const std::array<double, 4> ndc{2 * (x + 0.5) / width - 1, 1 - 2 * (y + 0.5) / height, 2 * depth - 1, 1};
    const std::array<double, 4> p = apply(inverseViewProjection, ndc);
    if (std::abs(p[3]) < 1e-300) return std::nullopt;
    return scene::Vector3(p[0] / p[3], p[1] / p[3], p[2] / p[3]);
}

std::optional<std::array<double, 2>> projectToWindow(scene::Vector3 point, int width, int height,
                                                     const scene::Matrix4& viewProjection) {
    const std::array<double, 4> clip = apply(viewProjection, {point.x, point.y, point.z, 1});
    if (!(clip[3] > 0)) return std::nullopt;
    const double nx = clip[0] / clip[3], ny = clip[1] / clip[3];
    return std::array<double, 2>{(nx + 1) * 0.5 * width - 0.5, (1 - ny) * 0.5 * height - 0.5};
}

VertexSnapper::VertexSnapper(std::vector<MeshInstance> instances) : instances_(std::move(instances)) {
    for (const MeshInstance& instance : instances_) {
        const scene::Geometry* geometry = instance.geometry.get();
        const scene::GeometrySource* positions = geometry->source(scene::Semantic::vertex);
        if (!positions || positions->componentsPerVector != 3 || sorted_.count(geometry)) continue;
        const float* xyz = positions->data.data();
        const std::size_t count = positions->data.size() / 3;
        // The longest axis spreads the vertices most thinly: the fewest in any slab.
        const scene::BoundingBox box = geometry->boundingBox();
        const scene::Vector3 extent = box.isEmpty() ? scene::Vector3() : box.max - box.min;
        Sorted sorted;
        sorted.axis = extent.x >= extent.y && extent.x >= extent.z ? 0 : extent.y >= extent.z ? 1 : 2;
        sorted.order.resize(count);
        for (std::size_t i = 0; i < count; ++i) sorted.order[i] = std::uint32_t(i);
        const int a = sorted.axis;
        std::sort(sorted.order.begin(), sorted.order.end(),
                  [xyz, a](std::uint32_t l, std::uint32_t r) { return xyz[3 * l + a] < xyz[3 * r + a]; });
        sorted_.emplace(geometry, std::move(sorted));
    }
}

std::optional<scene::Vector3> VertexSnapper::nearest(scene::Vector3 point) const {
    std::optional<scene::Vector3> best;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (const MeshInstance& instance : instances_) {
        const auto found = sorted_.find(instance.geometry.get());
        if (found == sorted_.end() || found->second.order.empty()) continue;
        const Sorted& sorted = found->second;
        const float* xyz = instance.geometry->source(scene::Semantic::vertex)->data.data();
        // Searched in the mesh's own space: exact for uniform scales, near enough for a snap
        // under a stretched one. Instances are compared with each other in the common space.
        const auto back = inverse(instance.transform);
        if (!back) continue;
        const scene::Vector3 local = back->transformPoint(point);
        const float p[3] = {float(local.x), float(local.y), float(local.z)};
        const int a = sorted.axis;
        auto distance = [&](std::uint32_t v) {
            const float dx = xyz[3 * v] - p[0], dy = xyz[3 * v + 1] - p[1], dz = xyz[3 * v + 2] - p[2];
            return dx * dx + dy * dy + dz * dz;
        };
        // Outwards from the point's place along the axis, on both sides, until the slab's
        // edge alone is farther than the nearest vertex found.
        const auto& order = sorted.order;
        std::size_t up = std::size_t(std::lower_bound(order.begin(), order.end(), p[a],
                                                      [xyz, a](std::uint32_t v, float value) {
                                                          return xyz[3 * v + a] < value;
                                                      }) -
                                     order.begin());
        std::size_t down = up; // the next one below is order[down - 1]
        float localBest = std::numeric_limits<float>::infinity();
        std::uint32_t localVertex = 0;
        while (up < order.size() || down > 0) {
            const float gapUp = up < order.size() ? xyz[3 * order[up] + a] - p[a] : INFINITY;
            const float gapDown = down > 0 ? p[a] - xyz[3 * order[down - 1] + a] : INFINITY;
            const bool goUp = gapUp <= gapDown;
            const float gap = goUp ? gapUp : gapDown;
            if (gap * gap > localBest) break;
            const std::uint32_t v = goUp ? order[up++] : order[--down];
            if (const float d = distance(v); d < localBest) {
                localBest = d;
                localVertex = v;
            }
        }
        if (!(localBest < INFINITY)) continue;
        const scene::Vector3 candidate =
            instance.transform.transformPoint({xyz[3 * localVertex], xyz[3 * localVertex + 1], xyz[3 * localVertex + 2]});
        const scene::Vector3 delta = candidate - point;
        if (const double d = scene::dot(delta, delta); d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}

std::array<double, 4> sectionPlaneInView(SectionAxis axis, double fraction, const scene::BoundingBox& box,
                                         const scene::Matrix4& viewFromModel) {
    const int i = int(axis);
    const double lo = i == 0 ? box.min.x : i == 1 ? box.min.y : box.min.z;
    const double hi = i == 0 ? box.max.x : i == 1 ? box.max.y : box.max.z;
    const double at = lo + std::clamp(fraction, 0.0, 1.0) * (hi - lo);
    // In the model's space the kept side is coordinate <= at: (-e_i, at). A plane maps
    // with the inverse transpose of the point transform.
    std::array<double, 4> model{0, 0, 0, at};
    model[i] = -1;
    const auto modelFromView = inverse(viewFromModel);
    if (!modelFromView) return {0, 0, 0, 1}; // keeps everything
    std::array<double, 4> out{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) out[c] += modelFromView->at(r, c) * model[r];
    return out;
}

} // namespace trimeo
