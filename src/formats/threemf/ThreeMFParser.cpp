#include "ThreeMFParser.h"

#include "PackagePaths.h"
#include "ThreeMFXMLParser.h"
#include "formats/common/TemporaryFiles.h"

#include <algorithm>
#include <string>
#include <system_error>

namespace trimeo {
namespace fs = std::filesystem;
namespace {

std::shared_ptr<scene::Node> makeMeshNode(ThreeMFXMLParser::Mesh&& mesh, std::size_t index) {
    std::vector<scene::GeometrySource> sources;
    sources.push_back(scene::GeometrySource::vertices(std::move(mesh.vertices)));
    std::vector<scene::GeometryElement> elements(1);
    // Indices go in as read; the renderer draws only Geometry::validTriangleIndices().
    elements[0].indices = std::move(mesh.triangles);
    auto geometry = std::make_shared<scene::Geometry>(std::move(sources), std::move(elements));

    scene::Material material;
    material.diffuse.contents = scene::Color::systemGray();
    material.lightingModel = scene::LightingModel::physicallyBased;
    geometry->materials = {material};

    auto node = scene::Node::make(std::move(geometry));
    node->name = "mesh_" + std::to_string(index);
    return node;
}

bool pathExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// 0 when unknown: readWholeFile then finds out what is there.
std::uint64_t fileSize(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

} // namespace

ReaderResult ThreeMFParser::parse(std::span<const std::uint8_t> data) {
    TemporaryDirectory workingDirectory; // removed with everything in it however parse ends
    const fs::path archive = workingDirectory.path() / "model.3mf";
    writeWholeFile(archive, data);

    const fs::path extracted = workingDirectory.path() / "extracted";
    std::error_code ec;
    if (!fs::create_directory(extracted, ec))
        throw PlatformError("Cannot create directory " + extracted.string() + ": " +
                            (ec ? ec.message() : std::string("it already exists")));
    extractedDir = extracted;

    // A failed or partial unpacking shows only as a missing main part.
    threemf::extractPackage(archive, extracted, limits_);

    const fs::path mainPart = extracted / "3D" / "3dmodel.model";
    if (!pathExists(mainPart)) throw LoaderError::parseError("3MF model file not found");
    if (fileSize(mainPart) > limits_.maxModelBytes)
        throw LoaderError::parseError("3MF model file is larger than " + std::to_string(limits_.maxModelBytes >> 20) +
                                      " MiB");
    const std::vector<std::uint8_t> bytes = threemf::readWholeFile(mainPart);
    return parseModelXML(bytes, extracted);
}

ReaderResult ThreeMFParser::parseModelXML(std::span<const std::uint8_t> mainPart, const fs::path& baseDir) const {
    auto scene = std::make_shared<scene::Scene>();
    ThreeMFXMLParser::ParseResult main = ThreeMFXMLParser(mainPart).parse();
    std::vector<ThreeMFXMLParser::Mesh> meshes = std::move(main.meshes);

    // A path listed many times is read as many times; all model bytes read are bounded by
    // the model limit (and the unpacking's), so a short main part naming one component over
    // and over cannot make the import run out of memory.
    const std::uint64_t modelBudget = std::min(limits_.maxTotalBytes, limits_.maxModelBytes);
    std::uint64_t componentBytesLeft = modelBudget > mainPart.size() ? modelBudget - mainPart.size() : 0;
    for (const std::string& componentPath : main.componentPaths) {
        std::string_view relative = componentPath;
        if (relative.starts_with('/')) relative.remove_prefix(1);
        // Paths with ".." could name files outside the package: refused like missing files.
        std::optional<fs::path> file = threemf::resolveInside(baseDir, relative);
        if (!file || !pathExists(*file)) continue;
        if (fileSize(*file) > componentBytesLeft) break; // measured before it is read in
        std::vector<std::uint8_t> bytes;
        try {
            bytes = threemf::readWholeFile(*file);
        } catch (const PlatformError&) {
            continue;
        }
        if (bytes.size() > componentBytesLeft) break;
        componentBytesLeft -= bytes.size();
        // Components of a component are not followed.
        for (ThreeMFXMLParser::Mesh& mesh : ThreeMFXMLParser(bytes).parse().meshes) meshes.push_back(std::move(mesh));
    }

    for (std::size_t i = 0; i < meshes.size(); ++i) scene->rootNode->addChildNode(makeMeshNode(std::move(meshes[i]), i));
    if (scene->rootNode->childNodes().empty()) throw LoaderError::noGeometry();
    return {scene, scene->rootNode->childNodes().size(), {}};
}

std::optional<ReaderResult> readThreeMF(const ReaderInput& input) { return ThreeMFParser().parse(input.bytes); }

} // namespace trimeo
