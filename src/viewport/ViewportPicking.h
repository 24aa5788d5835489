// The arithmetic behind measuring and cutting in the viewport, without GL: from a depth
// read under the pointer back to a point in space, the nearest vertex for snapping, and
// the section plane handed to the renderer.
#pragma once

#include "ModelStatistics.h"
#include "scene/Transform.h"

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace trimeo {

// Inverse of any invertible 4x4 matrix (a perspective projection too); nothing when it is
// singular.
std::optional<scene::Matrix4> inverse(const scene::Matrix4& m);

// The point seen at window pixel centre (x, y) (origin top left, in framebuffer pixels of
// a width x height frame) whose depth-buffer value is `depth` (0 near, 1 far), in the space
// `inverseViewProjection` leads back to. Nothing where the depth is 1: no surface there.
std::optional<scene::Vector3> unprojectDepth(double x, double y, int width, int height, double depth,
                                             const scene::Matrix4& inverseViewProjection);

// Where `point` lands on the window, in the pixels unprojectDepth takes; nothing behind
// the eye.
std::optional<std::array<double, 2>> projectToWindow(scene::Vector3 point, int width, int height,
                                                     const scene::Matrix4& viewProjection);

// Finds, among the instances' vertices (in the space of their transforms), the one nearest a
// point. Made once per model: it sorts each geometry's vertices along its longest axis (about
// a second for 6 million vertices), and then a query looks only at the slab of vertices
// around the point instead of at all of them. The geometries must outlive it unchanged.
class VertexSnapper {
public:
    explicit VertexSnapper(std::vector<MeshInstance> instances);
    std::optional<scene::Vector3> nearest(scene::Vector3 point) const;

private:
    struct Sorted {
        int axis = 0;
        std::vector<std::uint32_t> order; // vertex indices, ascending along `axis`
    };
    std::vector<MeshInstance> instances_;
    std::unordered_map<const scene::Geometry*, Sorted> sorted_;
};

enum class SectionAxis { x, y, z };

// The cut across `axis` at `fraction` (0 to 1) of the way through `box` (in the model's
// coordinates), as the plane (a, b, c, d) in view space for which a x + b y + c z + d >= 0
// holds on the side that stays: the side of lower coordinates. `viewFromModel` takes the
// model's coordinates to view space.
std::array<double, 4> sectionPlaneInView(SectionAxis axis, double fraction, const scene::BoundingBox& box,
                                         const scene::Matrix4& viewFromModel);

} // namespace trimeo
