// One mesh primitive to one grey triangle geometry: POSITION as three floats 12 bytes apart,
// indices as 16- or 32-bit values, consecutive indices when there are none. Every other
// attribute and layout field (stride included) is deliberately not read.
#include "GLTFParser.h"

#include "AccessorData.h"
#include "JSONDocument.h"

#include <numeric>

namespace trimeo {
namespace {

using gltf::JSON;

constexpr std::int64_t unsignedShort = 5123, unsignedInt = 5125;

// The value as a position in a list of `size` elements, when it is an integer in range.
std::optional<std::size_t> validIndex(const JSON* value, std::size_t size) {
    auto i = gltf::integerValue(value);
    if (!i || *i < 0 || std::uint64_t(*i) >= size) return std::nullopt;
    return std::size_t(*i);
}

std::int64_t byteOffset(const JSON& object) { return gltf::integerValue(gltf::member(object, "byteOffset")).value_or(0); }
std::int64_t count(const JSON& accessor) { return gltf::integerValue(gltf::member(accessor, "count")).value_or(0); }

gltf::ElementRun run(const gltf::BinaryBuffer& buffer, const JSON& view, const JSON& accessor, std::size_t elementSize) {
    return gltf::elementRun(buffer.size(), byteOffset(view), byteOffset(accessor), count(accessor), elementSize);
}

// An "attributes" object counts only when every value in it is an integer.
const JSON* attributesOf(const JSON& primitive) {
    const JSON* attributes = gltf::member(primitive, "attributes");
    if (!attributes || !attributes->is_object()) return nullptr;
    for (const JSON& value : *attributes)
        if (!gltf::integerValue(&value)) return nullptr;
    return attributes;
}

// Index values are kept as read, even those of vertexCount or more: the geometry's
// validTriangleIndices() is what keeps them from the renderer.
std::vector<std::uint32_t> decodeIndices(const JSON& primitive, std::span<const JSON> accessors,
                                         std::span<const JSON> bufferViews, const gltf::BinaryBuffer& buffer,
                                         std::size_t vertexCount) {
    const auto a = validIndex(gltf::member(primitive, "indices"), accessors.size());
    const auto v = a ? validIndex(gltf::member(accessors[*a], "bufferView"), bufferViews.size()) : std::nullopt;
    if (!v) {
        std::vector<std::uint32_t> consecutive(vertexCount);
        std::iota(consecutive.begin(), consecutive.end(), 0u);
        return consecutive;
    }
    const JSON& accessor = accessors[*a];
    switch (gltf::integerValue(gltf::member(accessor, "componentType")).value_or(unsignedShort)) {
    case unsignedInt: return gltf::readUint32(buffer, run(buffer, bufferViews[*v], accessor, 4));
    case unsignedShort: return gltf::readUint16(buffer, run(buffer, bufferViews[*v], accessor, 2));
    default: return {}; // 5121 (bytes) and anything else: no index at all
    }
}

scene::Material greyMaterial() {
    scene::Material material;
    material.diffuse.contents = scene::Color::systemGray();
    material.lightingModel = scene::LightingModel::physicallyBased;
    return material;
}

} // namespace

std::shared_ptr<scene::Geometry> GLTFParser::buildGeometry(const JSON& from, std::span<const JSON> accessors,
                                                           std::span<const JSON> bufferViews, const Buffer& buffer) {
    const JSON* attributes = attributesOf(from);
    const auto p = attributes ? validIndex(gltf::member(*attributes, "POSITION"), accessors.size()) : std::nullopt;
    if (!p || !buffer) return nullptr;
    const JSON& accessor = accessors[*p];
    const auto v = validIndex(gltf::member(accessor, "bufferView"), bufferViews.size());
    if (!v) return nullptr;

    const gltf::ElementRun positions = run(*buffer, bufferViews[*v], accessor, 12);
    if (positions.count == 0) return nullptr;

    std::vector<scene::GeometrySource> sources;
    sources.push_back(scene::GeometrySource::vertices(gltf::readFloat3(*buffer, positions)));
    std::vector<scene::GeometryElement> elements(1);
    elements[0].indices = decodeIndices(from, accessors, bufferViews, *buffer, positions.count);
    elements[0].primitiveType = scene::PrimitiveType::triangles;

    auto geometry = std::make_shared<scene::Geometry>(std::move(sources), std::move(elements));
    geometry->materials = {greyMaterial()};
    return geometry;
}

} // namespace trimeo
