#include "ModelLoader.h"

#include "AssetImport.h"
#include "OBJReader.h"
#include "PLYReader.h"
#include "STLReader.h"
#include "TemporaryFiles.h"
#include "alembic/AlembicReader.h"
#include "gltf/GLTFParser.h"
#include "threemf/ThreeMFParser.h"
#include "usd/UsdReader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace trimeo {
namespace {

struct DispatchRow {
    std::array<std::string_view, 8> extensions;
    ModelLoader::Route route;
};

// Compared in order; the first row holding the extension decides.
constexpr DispatchRow kDispatch[] = {
    {{"stl", "obj", "ply", "usd", "usdz", "usda", "usdc", "abc"}, ModelLoader::Route::modelIO},
    {{"dae", "scn"}, ModelLoader::Route::sceneKit},
    {{"gltf", "glb"}, ModelLoader::Route::gltf},
    {{"3mf"}, ModelLoader::Route::threeMF},
    {{"fbx"}, ModelLoader::Route::fbx},
    {{"vdb"}, ModelLoader::Route::vdb},
};

// Formats read in memory by readers of our own: faster than the asset library, no
// third-party code on the bytes, and no temporary copy. Nothing means "not ours".
std::optional<AssetRead> readWithOwnReader(std::span<const std::uint8_t> data, const std::string& ext) {
    if (ext == "stl") return readSTL(data); // bytes that are no STL are left to the asset library
    if (ext == "obj") return readOBJ(data);
    if (ext == "ply") return readPLY(data); // textured or unusual PLY files go to the asset library
    if (ext == "abc") return readAlembic(data);
    if (usd::isUsdExtension(ext)) return usd::readUsd(data, ext);
    return std::nullopt;
}

} // namespace

std::string ModelLoader::fileExtension(const std::filesystem::path& fileURL) {
    std::string name = fileURL.filename().string();
    if (name.empty()) name = fileURL.parent_path().filename().string(); // "dir/" names its last component
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

ModelLoader::Route ModelLoader::routeFor(const std::string& extension) {
    for (const DispatchRow& row : kDispatch)
        for (std::string_view e : row.extensions)
            if (!e.empty() && e == extension) return row.route;
    return Route::unsupported;
}

const char* ModelLoader::routeName(Route route) {
    switch (route) {
    case Route::modelIO: return "asset";
    case Route::sceneKit: return "scene";
    case Route::gltf: return "gltf";
    case Route::threeMF: return "3mf";
    case Route::fbx: return "fbx";
    case Route::vdb: return "vdb";
    case Route::unsupported: break;
    }
    return "unsupported";
}

ModelLoader::LoadResult ModelLoader::load(std::span<const std::uint8_t> data,
                                          const std::optional<std::filesystem::path>& fileURL) {
    const std::string extension = fileURL ? fileExtension(*fileURL) : std::string("obj");
    switch (routeFor(extension)) {
    case Route::modelIO: return loadWithModelIO(data, extension);
    case Route::sceneKit: return loadWithSceneKit(data, extension);
    case Route::gltf: return GLTFParser().parse(data, extension == "glb");
    case Route::threeMF: return ThreeMFParser().parse(data);
    case Route::fbx: return loadFBX(data);
    case Route::vdb: throw LoaderError::unsupportedFormat("VDB volumetric files require OpenVDB library");
    case Route::unsupported: break;
    }
    throw LoaderError::unsupportedFormat(extension);
}

ModelLoader::LoadResult ModelLoader::loadFBX(std::span<const std::uint8_t> data) {
    TemporaryFile file("fbx");
    file.write(data);
    AssetRead asset = isTruncatedPLYHeader(data) ? AssetRead{} : readAssetFile(file.path(), false);
    if (asset.count > 0 && asset.scene) return {asset.scene, {}, false};
    throw LoaderError::parseError("FBX format requires Autodesk FBX SDK for full support");
}

ModelLoader::LoadResult ModelLoader::loadWithModelIO(std::span<const std::uint8_t> data, const std::string& ext) {
    if (std::optional<AssetRead> own = readWithOwnReader(data, ext)) {
        if (own->count < 1 || !own->scene) throw LoaderError::noGeometry();
        return {own->scene, {}, false};
    }
    TemporaryFile file(ext);
    file.write(data);
    AssetRead asset = isTruncatedPLYHeader(data) ? AssetRead{} : readAssetFile(file.path(), false);
    if (asset.count < 1 || !asset.scene) throw LoaderError::noGeometry();
    return {asset.scene, {}, false};
}

ModelLoader::LoadResult ModelLoader::loadWithSceneKit(std::span<const std::uint8_t> data, const std::string& ext) {
    if (isTruncatedPLYHeader(data)) throw PlatformError("The " + ext + " file could not be read: it is cut off");
    AssetRead asset = readAssetMemory(data, ext, true);
    // A reader that crashed or hung on these bytes does the same from a file: no second try,
    // which would only double the time a hostile file holds the load.
    if (asset.stopped) throw PlatformError("The " + ext + " file could not be read: " + asset.error);
    if (!asset.scene) {
        TemporaryFile file(ext);
        file.write(data);
        asset = readAssetFile(file.path(), true);
        if (!asset.scene) {
            // Scene archives are a format of another platform: nothing here reads them.
            if (ext == "scn") throw PlatformError("Scene archive files (.scn) cannot be read on this system");
            throw PlatformError("The " + ext + " file could not be read: " + asset.error);
        }
    }
    LoadResult result{asset.scene, {}, false};
    extractSceneAnimations(*result.scene->rootNode, result.animations);
    result.hasAnimations = !result.animations.empty();
    return result;
}

void ModelLoader::extractSceneAnimations(const scene::Node& from, AnimationMap& into) {
    auto collect = [&into](const scene::Node& node) {
        for (const auto& [key, animation] : node.animations()) {
            if (!animation) continue;
            into[node.name.value_or("node") + "_" + key] = animation;
        }
    };
    collect(from);
    from.enumerateChildNodes([&](const scene::Node::Ptr& n) { collect(*n); });
}

} // namespace trimeo
