#include "ModelStatistics.h"

#include "MeshData.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace trimeo {
namespace {

void visit(const scene::Node& node, const scene::Matrix4& parent, ModelInventory& out,
           std::vector<scene::Material>& materials, std::vector<scene::Image>& images) {
    for (const scene::Node::Ptr& child : node.childNodes()) {
        const scene::Matrix4 transform = parent * child->transform();
        ++out.nodes;
        if (const auto& geometry = child->geometry) {
            ++out.meshes;
            out.vertices += geometry->vertexCount();
            out.triangles += geometry->validTriangleCount();
            out.instances.push_back({geometry, transform});
            for (const scene::Material& m : geometry->materials) {
                const bool known = std::any_of(materials.begin(), materials.end(), [&](const scene::Material& k) {
                    return k.name == m.name && k.diffuse.contents == m.diffuse.contents &&
                           k.lightingModel == m.lightingModel && k.metalness == m.metalness &&
                           k.roughness == m.roughness;
                });
                if (!known) materials.push_back(m);
                if (const scene::Image* image = m.diffuse.image();
                    image && std::find(images.begin(), images.end(), *image) == images.end())
                    images.push_back(*image);
            }
        }
        visit(*child, transform, out, materials, images);
    }
}

// A float's bits with -0 folded into +0, so that equal coordinates weld.
std::uint32_t keyBits(float f) {
    if (f == 0.0f) f = 0.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// One id per distinct position: vertex i becomes ids[i].
std::vector<std::uint32_t> weldByPosition(std::span<const float> xyz, std::size_t count) {
    struct Key {
        std::uint32_t x, y, z, index;
    };
    std::vector<Key> keys(count);
    for (std::size_t i = 0; i < count; ++i)
        keys[i] = {keyBits(xyz[3 * i]), keyBits(xyz[3 * i + 1]), keyBits(xyz[3 * i + 2]), std::uint32_t(i)};
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return a.x != b.x ? a.x < b.x : a.y != b.y ? a.y < b.y : a.z < b.z;
    });
    std::vector<std::uint32_t> ids(count);
    std::uint32_t id = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i && (keys[i].x != keys[i - 1].x || keys[i].y != keys[i - 1].y || keys[i].z != keys[i - 1].z)) ++id;
        ids[keys[i].index] = id;
    }
    return ids;
}

} // namespace

ModelInventory takeInventory(const scene::Node& root) {
    ModelInventory out;
    std::vector<scene::Material> materials;
    std::vector<scene::Image> images;
    visit(root, scene::Matrix4::identity(), out, materials, images);
    out.materials = materials.size();
    out.textures = images.size();
    return out;
}

bool isWatertight(const scene::Geometry& geometry) {
    const scene::GeometrySource* positions = geometry.source(scene::Semantic::vertex);
    if (!positions || positions->componentsPerVector != 3) return false;
    const std::vector<std::uint32_t> ids = weldByPosition(positions->data, geometry.vertexCount());

    // Directed edges a->b as (a << 32 | b). Closed and consistently wound means: no directed
    // edge twice, and the reversed edges are the same set.
    std::vector<std::uint64_t> forward, reversed;
    std::vector<std::uint32_t> scratch;
    for (std::size_t e = 0; e < geometry.elements.size(); ++e) {
        const std::span<const std::uint32_t> triangles = drawableIndices(geometry, e, scratch);
        forward.reserve(forward.size() + triangles.size());
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
            const std::uint64_t v[3] = {ids[triangles[t]], ids[triangles[t + 1]], ids[triangles[t + 2]]};
            if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0]) continue; // welded flat: no surface
            for (int k = 0; k < 3; ++k) forward.push_back(v[k] << 32 | v[(k + 1) % 3]);
        }
    }
    if (forward.empty()) return false;
    reversed.resize(forward.size());
    std::transform(forward.begin(), forward.end(), reversed.begin(),
                   [](std::uint64_t edge) { return edge << 32 | edge >> 32; });
    std::sort(forward.begin(), forward.end());
    if (std::adjacent_find(forward.begin(), forward.end()) != forward.end()) return false;
    std::sort(reversed.begin(), reversed.end());
    return forward == reversed;
}

bool isInsideOut(const scene::Geometry& geometry) {
    const scene::GeometrySource* positions = geometry.source(scene::Semantic::vertex);
    if (!positions || positions->componentsPerVector != 3) return false;
    const float* xyz = positions->data.data();
    auto at = [xyz](std::uint32_t i) { return scene::Vector3(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]); };
    double volume = 0;
    std::vector<std::uint32_t> scratch;
    for (std::size_t e = 0; e < geometry.elements.size(); ++e) {
        const std::span<const std::uint32_t> triangles = drawableIndices(geometry, e, scratch);
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3)
            volume += scene::dot(at(triangles[t]), scene::cross(at(triangles[t + 1]), at(triangles[t + 2])));
    }
    return volume < 0;
}

MeshFigures measureMeshes(const std::vector<MeshInstance>& instances) {
    MeshFigures out;
    std::unordered_map<const scene::Geometry*, bool> closed; // an instanced geometry is tested once
    bool allClosed = !instances.empty();
    double volume = 0;
    for (const MeshInstance& instance : instances) {
        const scene::Geometry& geometry = *instance.geometry;
        const scene::GeometrySource* positions = geometry.source(scene::Semantic::vertex);
        if (!positions || positions->componentsPerVector != 3) {
            allClosed = false;
            continue;
        }
        const std::size_t count = geometry.vertexCount();
        std::vector<scene::Vector3> placed(count);
        for (std::size_t i = 0; i < count; ++i) {
            placed[i] = instance.transform.transformPoint(
                {positions->data[3 * i], positions->data[3 * i + 1], positions->data[3 * i + 2]});
            out.box.add(placed[i]);
        }
        double signedVolume = 0;
        bool anyTriangle = false;
        std::vector<std::uint32_t> scratch;
        for (std::size_t e = 0; e < geometry.elements.size(); ++e) {
            const std::span<const std::uint32_t> triangles = drawableIndices(geometry, e, scratch);
            for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
                const scene::Vector3 a = placed[triangles[t]], b = placed[triangles[t + 1]],
                                     c = placed[triangles[t + 2]];
                out.surfaceArea += 0.5 * scene::length(scene::cross(b - a, c - a));
                signedVolume += scene::dot(a, scene::cross(b, c)) / 6.0;
                anyTriangle = true;
            }
        }
        // Before the watertight test, which takes memory of its own: the placed positions
        // of a big mesh are the largest list here.
        std::vector<scene::Vector3>().swap(placed);
        std::vector<std::uint32_t>().swap(scratch);
        auto known = closed.find(&geometry);
        if (known == closed.end()) known = closed.emplace(&geometry, anyTriangle && isWatertight(geometry)).first;
        allClosed = allClosed && known->second;
        // Each closed shell on its own: a mirrored instance (or one wound inside out) counts
        // with its size, not against the others.
        volume += std::abs(signedVolume);
    }
    out.watertight = allClosed;
    if (allClosed) out.volume = volume;
    return out;
}

} // namespace trimeo
