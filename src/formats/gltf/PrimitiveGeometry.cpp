// One mesh primitive to one grey triangle geometry in the mesh's own coordinates: POSITION
// (floats, or quantised integers), indices of 8, 16 or 32 bits (consecutive when there are
// none), strips and fans as lists, or the Draco-compressed mesh. Points and lines are not
// drawn as triangles, so they yield nothing. Normals and every other attribute are not read.
#include "GLTFParser.h"

#include "Accessors.h"
#include "DracoMesh.h"
#include "TriangleModes.h"

#include <numeric>

namespace trimeo {
namespace {

using gltf::JSON;

enum Mode : std::int64_t { points, lines, lineLoop, lineStrip, triangles, triangleStrip, triangleFan };

std::optional<std::size_t> validIndex(const JSON* value, std::size_t size) {
    auto i = gltf::integerValue(value);
    if (!i || *i < 0 || std::uint64_t(*i) >= size) return std::nullopt;
    return std::size_t(*i);
}

// An "attributes" object counts only when every value in it is an integer.
const JSON* attributesOf(const JSON& primitive) {
    const JSON* attributes = gltf::member(primitive, "attributes");
    if (!attributes || !attributes->is_object()) return nullptr;
    for (const JSON& value : *attributes)
        if (!gltf::integerValue(&value)) return nullptr;
    return attributes;
}

scene::Material greyMaterial() {
    scene::Material material;
    material.diffuse.contents = scene::Color::systemGray();
    material.lightingModel = scene::LightingModel::physicallyBased;
    return material;
}

// The compressed mesh's bytes: its bufferView's "byteLength" bytes, all inside the buffer.
std::optional<gltf::DecodedMesh> dracoMesh(const JSON& extension, gltf::BufferViews& views, gltf::DecodeBudget& budget) {
    const auto v = validIndex(gltf::member(extension, "bufferView"), views.size());
    const auto id = gltf::integerValue(gltf::member(gltf::member(extension, "attributes"), "POSITION"));
    if (!v || !id) return std::nullopt;
    const auto view = views.view(*v);
    if (!view || !view->length || view->offset < 0 || *view->length < 0) return std::nullopt;
    const std::uint64_t size = view->buffer->size();
    if (std::uint64_t(view->offset) > size || std::uint64_t(*view->length) > size - std::uint64_t(view->offset))
        return std::nullopt;
    std::vector<std::uint8_t> bytes(std::size_t(*view->length));
    if (!view->buffer->read(std::size_t(view->offset), bytes.size(), bytes.data())) return std::nullopt;
    return gltf::decodeDracoMesh(bytes, *id, budget);
}

} // namespace

std::shared_ptr<scene::Geometry> GLTFParser::buildGeometry(const JSON& from, gltf::Accessors& accessors,
                                                           gltf::BufferViews& views, gltf::DecodeBudget& budget) {
    const JSON* attributes = attributesOf(from);
    const auto p = attributes ? validIndex(gltf::member(*attributes, "POSITION"), accessors.size()) : std::nullopt;
    const std::int64_t mode = gltf::integerValue(gltf::member(from, "mode")).value_or(triangles);
    if (!p || (mode != triangles && mode != triangleStrip && mode != triangleFan)) return nullptr;

    std::vector<float> positions;
    std::vector<std::uint32_t> indices;
    if (const JSON* draco = gltf::member(gltf::member(from, "extensions"), "KHR_draco_mesh_compression")) {
        // Draco always stores a triangle list, whatever the mode.
        auto mesh = dracoMesh(*draco, views, budget);
        if (!mesh) return nullptr;
        positions = std::move(mesh->positions);
        indices = std::move(mesh->indices);
    } else {
        positions = accessors.floats(*p, 3);
        const std::size_t vertexCount = positions.size() / 3;
        const auto i = validIndex(gltf::member(from, "indices"), accessors.size());
        std::optional<std::vector<std::uint32_t>> stored = i ? accessors.indices(*i) : std::nullopt;
        if (stored) {
            indices = std::move(*stored);
        } else if (vertexCount > 0) {
            if (!budget.take(vertexCount * 4)) return nullptr;
            indices.resize(vertexCount);
            std::iota(indices.begin(), indices.end(), 0u);
        }
        if (mode != triangles) {
            // Index values are kept as read, even those of the vertex count or more: the
            // geometry's validTriangleIndices() is what keeps them from the renderer.
            if (!budget.take(std::max<std::size_t>(indices.size(), 2) * 12)) return nullptr;
            indices = mode == triangleStrip ? gltf::stripToTriangles(indices) : gltf::fanToTriangles(indices);
        }
    }
    if (positions.empty()) return nullptr;

    std::vector<scene::GeometrySource> sources;
    sources.push_back(scene::GeometrySource::vertices(std::move(positions)));
    std::vector<scene::GeometryElement> elements(1);
    elements[0].indices = std::move(indices);
    elements[0].primitiveType = scene::PrimitiveType::triangles;

    auto geometry = std::make_shared<scene::Geometry>(std::move(sources), std::move(elements));
    geometry->materials = {greyMaterial()};
    return geometry;
}

} // namespace trimeo
