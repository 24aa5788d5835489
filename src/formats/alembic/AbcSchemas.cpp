#include "AbcSchemas.h"

#include <cmath>
#include <numbers>

namespace trimeo::alembic {
namespace {
using scene::Matrix4;
using scene::Vector3;

// Faces whose corners all lie inside the index list and name existing points.
std::vector<std::size_t> validFaceStarts(const PolyMeshSample& s, std::size_t points) {
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    for (std::int32_t count : s.counts) {
        if (count < 0 || std::size_t(count) > s.indices.size() - at) break;
        bool ok = count >= 3;
        for (std::int32_t k = 0; ok && k < count; ++k) {
            std::int32_t i = s.indices[at + k];
            ok = i >= 0 && std::size_t(i) < points;
        }
        if (ok) starts.push_back(at);
        at += std::size_t(count);
    }
    return starts;
}

Matrix4 axisRotation(Vector3 axis, double degrees) {
    return Matrix4::compose({}, scene::Quaternion::fromAxisAngle(scene::normalized(axis), degrees * std::numbers::pi / 180),
                            {1, 1, 1});
}
} // namespace

std::optional<scene::Geometry> buildPolyMesh(const PolyMeshSample& s) {
    const std::size_t points = s.positions.size() / 3;
    const std::vector<std::size_t> starts = validFaceStarts(s, points);
    if (starts.empty()) return std::nullopt;
    const bool perCorner = !s.normals.empty() && s.normals.size() == s.indices.size() * 3;
    const bool perPoint = !perCorner && !s.normals.empty() && s.normals.size() == s.positions.size();

    std::vector<float> positions, normals;
    std::vector<std::uint32_t> triangles;
    if (!perCorner) positions = s.positions;
    if (perPoint) normals = s.normals;
    std::size_t face = 0;
    std::size_t at = 0;
    for (std::int32_t count : s.counts) {
        if (face == starts.size()) break;
        if (starts[face] != at) { at += std::size_t(count); continue; }
        ++face;
        // Corner order reversed: the corner k of the reversed face is the file's count-1-k.
        std::vector<std::uint32_t> corner(static_cast<std::size_t>(count));
        for (std::int32_t k = 0; k < count; ++k) {
            std::size_t file = at + std::size_t(count - 1 - k);
            if (perCorner) {
                corner[k] = std::uint32_t(positions.size() / 3);
                std::uint32_t p = std::uint32_t(s.indices[file]);
                positions.insert(positions.end(), &s.positions[p * 3], &s.positions[p * 3] + 3);
                normals.insert(normals.end(), &s.normals[file * 3], &s.normals[file * 3] + 3);
            } else {
                corner[k] = std::uint32_t(s.indices[file]);
            }
        }
        for (std::int32_t k = 1; k + 1 < count; ++k) triangles.insert(triangles.end(), {corner[0], corner[k], corner[k + 1]});
        at += std::size_t(count);
    }
    std::vector<scene::GeometrySource> sources{scene::GeometrySource::vertices(std::move(positions))};
    if (!normals.empty()) sources.push_back(scene::GeometrySource::normals(std::move(normals)));
    scene::GeometryElement element;
    element.indices = std::move(triangles);
    return scene::Geometry(std::move(sources), {std::move(element)});
}

Matrix4 composeXformOps(std::span<const std::uint8_t> ops, std::span<const double> v) {
    static constexpr std::size_t channels[] = {3, 3, 4, 16, 1, 1, 1}; // scale translate rotate matrix rx ry rz
    Matrix4 result;
    std::size_t at = 0;
    for (std::uint8_t op : ops) {
        const std::size_t type = op >> 4;
        if (type >= std::size(channels) || channels[type] > v.size() - at) break;
        const double* c = v.data() + at;
        Matrix4 m;
        switch (type) {
        case 0: m = Matrix4::compose({}, {}, {c[0], c[1], c[2]}); break;
        case 1: m = Matrix4::compose({c[0], c[1], c[2]}, {}, {1, 1, 1}); break;
        case 2: m = axisRotation({c[0], c[1], c[2]}, c[3]); break;
        case 3:
            // Stored row by row for row vectors: the transpose of ours, i.e. our column order.
            for (int i = 0; i < 16; ++i) m.m[i] = c[i];
            break;
        case 4: m = axisRotation({1, 0, 0}, c[0]); break;
        case 5: m = axisRotation({0, 1, 0}, c[0]); break;
        case 6: m = axisRotation({0, 0, 1}, c[0]); break;
        }
        result = result * m;
        at += channels[type];
    }
    return result;
}

void setNodeTransform(scene::Node& node, const Matrix4& m) {
    Vector3 axes[3];
    double lengths[3];
    for (int c = 0; c < 3; ++c) {
        axes[c] = {m.at(0, c), m.at(1, c), m.at(2, c)};
        lengths[c] = scene::length(axes[c]);
    }
    // A mirrored matrix keeps a proper rotation by flipping one scale axis.
    if (scene::dot(scene::cross(axes[0], axes[1]), axes[2]) < 0) lengths[0] = -lengths[0];
    Matrix4 rotation;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) rotation.at(r, c) = lengths[c] != 0 ? m.at(r, c) / lengths[c] : (r == c ? 1 : 0);
    node.position = {m.at(0, 3), m.at(1, 3), m.at(2, 3)};
    node.scale = {lengths[0], lengths[1], lengths[2]};
    node.orientation = scene::rotationFromMatrix(rotation);
}

} // namespace trimeo::alembic
