// One mesh primitive to one grey triangle geometry: POSITION as three floats 12 bytes apart,
// indices as 16- or 32-bit values, consecutive indices when there are none. Every other
// attribute and layout field (stride included) is deliberately not read.
#include "GLTFParser.h"

#include "AccessorData.h"
#include "DecodeBudget.h"
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

// Where a primitive's indices come from, known before anything is decoded so the cost can be
// checked against the budget.
struct IndexPlan {
    enum class Kind { consecutive, uint16, uint32, none } kind = Kind::none;
    gltf::ElementRun run;     // the stored values, for uint16 and uint32
    std::size_t count = 0;    // indices it yields
};

IndexPlan planIndices(const JSON& primitive, std::span<const JSON> accessors, std::span<const JSON> bufferViews,
                      const gltf::BinaryBuffer& buffer, std::size_t vertexCount) {
    const auto a = validIndex(gltf::member(primitive, "indices"), accessors.size());
    const auto v = a ? validIndex(gltf::member(accessors[*a], "bufferView"), bufferViews.size()) : std::nullopt;
    if (!v) return {IndexPlan::Kind::consecutive, {}, vertexCount};
    const JSON& accessor = accessors[*a];
    switch (gltf::integerValue(gltf::member(accessor, "componentType")).value_or(unsignedShort)) {
    case unsignedInt: {
        const auto r = run(buffer, bufferViews[*v], accessor, 4);
        return {IndexPlan::Kind::uint32, r, r.count};
    }
    case unsignedShort: {
        const auto r = run(buffer, bufferViews[*v], accessor, 2);
        return {IndexPlan::Kind::uint16, r, r.count};
    }
    default: return {}; // 5121 (bytes) and anything else: no index at all
    }
}

// Index values are kept as read, even those of the vertex count or more: the geometry's
// validTriangleIndices() is what keeps them from the renderer.
std::vector<std::uint32_t> readIndices(const IndexPlan& plan, const gltf::BinaryBuffer& buffer) {
    switch (plan.kind) {
    case IndexPlan::Kind::consecutive: {
        std::vector<std::uint32_t> consecutive(plan.count);
        std::iota(consecutive.begin(), consecutive.end(), 0u);
        return consecutive;
    }
    case IndexPlan::Kind::uint32: return gltf::readUint32(buffer, plan.run);
    case IndexPlan::Kind::uint16: return gltf::readUint16(buffer, plan.run);
    case IndexPlan::Kind::none: break;
    }
    return {};
}

scene::Material greyMaterial() {
    scene::Material material;
    material.diffuse.contents = scene::Color::systemGray();
    material.lightingModel = scene::LightingModel::physicallyBased;
    return material;
}

} // namespace

std::shared_ptr<scene::Geometry> GLTFParser::buildGeometry(const JSON& from, std::span<const JSON> accessors,
                                                           std::span<const JSON> bufferViews, const Buffer& buffer,
                                                           gltf::DecodeBudget& budget) {
    const JSON* attributes = attributesOf(from);
    const auto p = attributes ? validIndex(gltf::member(*attributes, "POSITION"), accessors.size()) : std::nullopt;
    if (!p || !buffer) return nullptr;
    const JSON& accessor = accessors[*p];
    const auto v = validIndex(gltf::member(accessor, "bufferView"), bufferViews.size());
    if (!v) return nullptr;

    const gltf::ElementRun positions = run(*buffer, bufferViews[*v], accessor, 12);
    if (positions.count == 0) return nullptr;
    const IndexPlan indices = planIndices(from, accessors, bufferViews, *buffer, positions.count);
    // Both counts are bounded by the buffer's size, so this cannot overflow.
    if (!budget.take(positions.count * 12 + indices.count * 4)) return nullptr;

    std::vector<scene::GeometrySource> sources;
    sources.push_back(scene::GeometrySource::vertices(gltf::readFloat3(*buffer, positions)));
    std::vector<scene::GeometryElement> elements(1);
    elements[0].indices = readIndices(indices, *buffer);
    elements[0].primitiveType = scene::PrimitiveType::triangles;

    auto geometry = std::make_shared<scene::Geometry>(std::move(sources), std::move(elements));
    geometry->materials = {greyMaterial()};
    return geometry;
}

} // namespace trimeo
