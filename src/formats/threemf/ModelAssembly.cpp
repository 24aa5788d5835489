#include "ModelAssembly.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

namespace trimeo::threemf {
namespace {
using Mesh = ThreeMFXMLParser::Mesh;

std::shared_ptr<scene::Geometry> makeGeometry(std::vector<float> vertices, std::vector<std::uint32_t> triangles) {
    std::vector<scene::GeometrySource> sources;
    sources.push_back(scene::GeometrySource::vertices(std::move(vertices)));
    std::vector<scene::GeometryElement> elements(1);
    // Indices go in as read; the renderer draws only Geometry::validTriangleIndices().
    elements[0].indices = std::move(triangles);
    auto geometry = std::make_shared<scene::Geometry>(std::move(sources), std::move(elements));

    scene::Material material;
    material.diffuse.contents = scene::Color::systemGray();
    material.lightingModel = scene::LightingModel::physicallyBased;
    geometry->materials = {material};
    return geometry;
}

void addNode(scene::Scene& scene, std::shared_ptr<scene::Geometry> geometry) {
    auto node = scene::Node::make(std::move(geometry));
    node->name = "mesh_" + std::to_string(scene.rootNode->childNodes().size());
    scene.rootNode->addChildNode(std::move(node));
}

// The geometry of a mesh moved by `transform`. The mesh's own lists are taken over when
// this is its last use, copied otherwise.
std::shared_ptr<scene::Geometry> placedGeometry(Mesh& mesh, const AffineTransform& transform, bool lastUse) {
    std::vector<float> vertices = lastUse ? std::move(mesh.vertices) : mesh.vertices;
    std::vector<std::uint32_t> triangles = lastUse ? std::move(mesh.triangles) : mesh.triangles;
    if (!transform.isIdentity()) {
        for (std::size_t i = 0; i + 3 <= vertices.size(); i += 3) transform.apply(&vertices[i]);
        // A mirror turns the faces inside out unless their winding turns with it.
        if (transform.determinant() < 0)
            for (std::size_t i = 0; i + 3 <= triangles.size(); i += 3) std::swap(triangles[i + 1], triangles[i + 2]);
    }
    return makeGeometry(std::move(vertices), std::move(triangles));
}

void addPlacements(scene::Scene& scene, ModelParts& parts, const std::vector<Placement>& placements) {
    using Key = std::pair<std::size_t, std::size_t>;
    std::map<Key, std::size_t> usesLeft;
    for (const Placement& p : placements) ++usesLeft[{p.part, p.mesh}];
    std::map<Key, std::shared_ptr<scene::Geometry>> untransformed; // shared by every plain placement
    for (const Placement& p : placements) {
        const Key key{p.part, p.mesh};
        const bool lastUse = --usesLeft[key] == 0;
        Mesh& mesh = parts.part(p.part).meshes[p.mesh];
        if (!p.transform.isIdentity()) {
            addNode(scene, placedGeometry(mesh, p.transform, lastUse));
            continue;
        }
        std::shared_ptr<scene::Geometry>& shared = untransformed[key];
        if (!shared) shared = placedGeometry(mesh, p.transform, lastUse);
        addNode(scene, shared);
    }
}

void addUnplacedMeshes(scene::Scene& scene, ModelParts& parts, const PartReader& read) {
    for (Mesh& mesh : parts.part(0).meshes) addNode(scene, makeGeometry(std::move(mesh.vertices), std::move(mesh.triangles)));
    for (const std::string& componentPath : parts.part(0).componentPaths) {
        std::string_view relative = componentPath;
        if (relative.starts_with('/')) relative.remove_prefix(1);
        std::optional<std::vector<std::uint8_t>> bytes = read(std::string(relative));
        if (!bytes) continue;
        // Components of a component are not followed.
        for (Mesh& mesh : ThreeMFXMLParser(*bytes).parse().meshes)
            addNode(scene, makeGeometry(std::move(mesh.vertices), std::move(mesh.triangles)));
    }
}

} // namespace

ReaderResult assembleModel(std::span<const std::uint8_t> mainPart, const PartReader& read,
                           const PlacementLimits& limits) {
    return assembleModel(ThreeMFXMLParser(mainPart).parse(), read, limits);
}

ReaderResult assembleModel(ThreeMFXMLParser::ParseResult mainPart, const PartReader& read,
                           const PlacementLimits& limits) {
    auto scene = std::make_shared<scene::Scene>();
    ModelParts parts(std::move(mainPart), kMainModelPath, read);
    const std::vector<Placement> placements = placeBuild(parts, limits);
    if (!placements.empty()) addPlacements(*scene, parts, placements);
    else addUnplacedMeshes(*scene, parts, read);
    if (scene->rootNode->childNodes().empty()) throw LoaderError::noGeometry();
    return {scene, scene->rootNode->childNodes().size(), {}};
}

} // namespace trimeo::threemf
