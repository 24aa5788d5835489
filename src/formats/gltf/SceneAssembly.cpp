// Flat scene assembly: one node per primitive with geometry, named after its mesh, and one
// placeholder animation per glTF animation. Hierarchy, transforms, materials and skins are
// not read.
#include "GLTFParser.h"

#include "DecodeBudget.h"
#include "JSONDocument.h"

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

} // namespace

ReaderResult GLTFParser::buildScene(const gltf::JSONDocument& from, const Buffer& binaryBuffer) {
    const gltf::JSON& root = from.root();
    auto scene = std::make_shared<scene::Scene>();

    auto meshes = gltf::arrayOfObjects(gltf::member(root, "meshes"));
    if (!meshes) throw LoaderError::noGeometry();
    const auto accessors = listOrEmpty(gltf::member(root, "accessors"));
    const auto bufferViews = listOrEmpty(gltf::member(root, "bufferViews"));
    gltf::DecodeBudget budget(binaryBuffer ? binaryBuffer->size() : 0);

    for (std::size_t m = 0; m < meshes->size(); ++m) {
        const gltf::JSON& mesh = (*meshes)[m];
        auto primitives = gltf::arrayOfObjects(gltf::member(mesh, "primitives"));
        if (!primitives) continue;
        for (const gltf::JSON& primitive : *primitives) {
            auto geometry = buildGeometry(primitive, accessors, bufferViews, binaryBuffer, budget);
            if (!geometry) continue;
            auto node = scene::Node::make(std::move(geometry));
            // Position m counts every mesh, those without nodes included.
            node->name = nameOr(from, gltf::member(mesh, "name"), "mesh_", m);
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
