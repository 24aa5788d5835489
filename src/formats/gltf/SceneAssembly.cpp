// Flat scene assembly: one node per placed primitive with geometry, directly under the root,
// its positions already in scene coordinates and the node named after its mesh; and one
// placeholder animation per glTF animation. Materials, cameras and skins are not read.
#include "GLTFParser.h"

#include "Accessors.h"
#include "NodePlacement.h"

#include <limits>
#include <map>
#include <string>

namespace trimeo {
namespace {

std::span<const gltf::JSON> listOrEmpty(const gltf::JSON* value) {
    return gltf::arrayOfObjects(value).value_or(std::span<const gltf::JSON>());
}

// The value's text, or `prefix` followed by the position.
std::string nameOr(const gltf::JSONDocument& document, const gltf::JSON* value, const char* prefix, std::size_t position) {
    if (value)
        if (auto text = document.text(*value)) return std::string(*text);
    return prefix + std::to_string(position);
}

// Beyond the float range a coordinate becomes an infinity, as the hardware would make it
// (the language leaves the plain conversion undefined there).
float toFloat(double v) {
    constexpr double largest = std::numeric_limits<float>::max();
    if (v > largest) return std::numeric_limits<float>::infinity();
    if (v < -largest) return -std::numeric_limits<float>::infinity();
    return float(v);
}

double determinant3(const scene::Matrix4& m) {
    return m.at(0, 0) * (m.at(1, 1) * m.at(2, 2) - m.at(1, 2) * m.at(2, 1)) -
           m.at(0, 1) * (m.at(1, 0) * m.at(2, 2) - m.at(1, 2) * m.at(2, 0)) +
           m.at(0, 2) * (m.at(1, 0) * m.at(2, 1) - m.at(1, 1) * m.at(2, 0));
}

// A copy of `base` with its positions moved by `transform`; null when the budget is spent. A
// mirroring transform turns the triangles inside out, so their winding is reversed to keep
// their fronts outward.
std::shared_ptr<scene::Geometry> placed(const scene::Geometry& base, const scene::Matrix4& transform,
                                        gltf::DecodeBudget& budget) {
    const scene::GeometrySource* source = base.source(scene::Semantic::vertex);
    const std::size_t indexCount = base.elements.empty() ? 0 : base.elements[0].indices.size();
    if (!source || !budget.take(source->data.size() * 4 + indexCount * 4)) return nullptr;
    auto copy = std::make_shared<scene::Geometry>(base.sources, base.elements);
    copy->materials = base.materials;
    std::vector<float>& xyz = copy->sources[0].data;
    for (std::size_t i = 0; i + 2 < xyz.size(); i += 3) {
        const scene::Vector3 p = transform.transformPoint({xyz[i], xyz[i + 1], xyz[i + 2]});
        xyz[i] = toFloat(p.x);
        xyz[i + 1] = toFloat(p.y);
        xyz[i + 2] = toFloat(p.z);
    }
    if (determinant3(transform) < 0)
        for (auto& element : copy->elements)
            for (std::size_t t = 0; t + 2 < element.indices.size(); t += 3)
                std::swap(element.indices[t + 1], element.indices[t + 2]);
    return copy;
}

} // namespace

ReaderResult GLTFParser::buildScene(const gltf::JSONDocument& from, gltf::BufferSet& buffers, gltf::DecodeBudget& budget) {
    const gltf::JSON& root = from.root();
    auto scene = std::make_shared<scene::Scene>();

    auto meshes = gltf::arrayOfObjects(gltf::member(root, "meshes"));
    if (!meshes) throw LoaderError::noGeometry();
    gltf::BufferViews views(listOrEmpty(gltf::member(root, "bufferViews")), buffers, budget);
    gltf::Accessors accessors(listOrEmpty(gltf::member(root, "accessors")), views, budget);

    // Each primitive is decoded once, however often it is placed; the first placement without
    // a transform takes the decoded geometry itself, every other one a moved copy.
    struct Decoded {
        std::shared_ptr<scene::Geometry> geometry;
        bool taken = false;
    };
    std::map<std::pair<std::size_t, std::size_t>, Decoded> decoded;

    for (const gltf::MeshPlacement& placement : gltf::placeMeshes(root, meshes->size(), accessors)) {
        const gltf::JSON& mesh = (*meshes)[placement.mesh];
        auto primitives = gltf::arrayOfObjects(gltf::member(mesh, "primitives"));
        if (!primitives) continue;
        for (std::size_t p = 0; p < primitives->size(); ++p) {
            auto [entry, fresh] = decoded.try_emplace({placement.mesh, p});
            if (fresh) entry->second.geometry = buildGeometry((*primitives)[p], accessors, views, budget);
            if (!entry->second.geometry) continue;
            std::shared_ptr<scene::Geometry> geometry;
            if (!entry->second.taken && gltf::isIdentity(placement.transform)) {
                geometry = entry->second.geometry;
                entry->second.taken = true;
            } else {
                geometry = placed(*entry->second.geometry, placement.transform, budget);
                if (!geometry) continue;
            }
            auto node = scene::Node::make(std::move(geometry));
            // Named after the mesh's position among all meshes, those without nodes included.
            node->name = nameOr(from, gltf::member(mesh, "name"), "mesh_", placement.mesh);
            scene->rootNode->addChildNode(std::move(node));
        }
    }

    ReaderResult result{scene, scene->rootNode->childNodes().size(), {}};
    if (auto animations = gltf::arrayOfObjects(gltf::member(root, "animations"))) {
        // Channels and samplers are not read: the entries only tell the viewer there are animations.
        for (std::size_t a = 0; a < animations->size(); ++a)
            result.animations[nameOr(from, gltf::member((*animations)[a], "name"), "animation_", a)] =
                std::make_shared<const scene::Animation>();
    }
    return result;
}

} // namespace trimeo
