#include "PictureFit.h"

#include "scene/Geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace trimeo {
namespace {

constexpr std::size_t kSampledVertices = 4'000'000;

struct Extent {
    double left = INFINITY, right = -INFINITY, bottom = INFINITY, top = -INFINITY;
    bool behind = false;
};

void addVertices(const scene::Geometry& geometry, const scene::Matrix4& toClip, Extent& extent) {
    const scene::GeometrySource* positions = geometry.source(scene::Semantic::vertex);
    if (!positions || positions->componentsPerVector < 3) return;
    const std::size_t stride = std::size_t(positions->componentsPerVector);
    const std::size_t count = positions->vectorCount();
    const std::size_t step = std::max<std::size_t>(1, count / kSampledVertices);
    double m[16];
    for (int i = 0; i < 16; ++i) m[i] = toClip.m[std::size_t(i)];
    const float* data = positions->data.data();
    for (std::size_t v = 0; v < count; v += step) {
        const double x = data[v * stride], y = data[v * stride + 1], z = data[v * stride + 2];
        const double w = m[3] * x + m[7] * y + m[11] * z + m[15];
        if (!std::isfinite(w)) continue;
        if (!(w > 1e-9)) {
            extent.behind = true;
            return;
        }
        const double cx = (m[0] * x + m[4] * y + m[8] * z + m[12]) / w;
        const double cy = (m[1] * x + m[5] * y + m[9] * z + m[13]) / w;
        if (!std::isfinite(cx) || !std::isfinite(cy)) continue;
        extent.left = std::min(extent.left, cx), extent.right = std::max(extent.right, cx);
        extent.bottom = std::min(extent.bottom, cy), extent.top = std::max(extent.top, cy);
    }
}

} // namespace

scene::Matrix4 fitProjection(const scene::Matrix4& projection, const scene::Matrix4& view, const scene::Node& root,
                             double fraction) {
    if (!(fraction > 0 && fraction <= 1)) return projection;
    Extent extent;
    // Explicit stack: file hierarchies can be deeper than the call stack allows.
    std::vector<std::pair<const scene::Node*, scene::Matrix4>> stack{{&root, projection * view * root.transform()}};
    while (!stack.empty() && !extent.behind) {
        auto [node, toClip] = stack.back();
        stack.pop_back();
        if (node->geometry) addVertices(*node->geometry, toClip, extent);
        for (const scene::Node::Ptr& child : node->childNodes())
            stack.emplace_back(child.get(), toClip * child->transform());
    }
    const double halfSpan = std::max(extent.right - extent.left, extent.top - extent.bottom) / 2;
    if (extent.behind || !std::isfinite(halfSpan) || !(halfSpan > 1e-12)) return projection;
    // Scaling clip x and y scales the picture about its centre; subtracting a multiple of
    // clip w moves it, since w is what x and y are divided by.
    const double k = fraction / halfSpan;
    const double cx = (extent.left + extent.right) / 2, cy = (extent.bottom + extent.top) / 2;
    scene::Matrix4 zoom;
    zoom.at(0, 0) = k;
    zoom.at(1, 1) = k;
    zoom.at(0, 3) = -k * cx;
    zoom.at(1, 3) = -k * cy;
    return zoom * projection;
}

} // namespace trimeo
