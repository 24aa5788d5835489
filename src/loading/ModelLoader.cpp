#include "ModelLoader.h"

#include "formats/assimp/AssetImport.h"
#include "formats/common/MemoryBudget.h"
#include "formats/common/RelatedFiles.h"
#include "formats/common/TemporaryFiles.h"

#include <algorithm>
#include <cctype>

namespace trimeo {
namespace {

using LoadResult = ModelLoader::LoadResult;

LoadResult withoutAnimations(ReaderResult read) { return {std::move(read.scene), {}, false}; }

// The asset library holds the whole file in memory before it decodes a byte of it.
void requireAssetMemory(std::span<const std::uint8_t> data) { requireMemory(data.size()); }

// The asset library reads what our own readers hand on, from a temporary copy: some of its
// readers only read files.
ReaderResult readThroughAssetFile(std::span<const std::uint8_t> data, const std::string& ext) {
    requireAssetMemory(data);
    TemporaryFile file(ext);
    file.write(data);
    return readAssetFile(file.path(), false);
}

// STL, OBJ, PLY, the USD family, Alembic: our own reader first, then the asset library.
LoadResult loadWithModelIO(const FormatRow* row, const ReaderInput& input) {
    std::optional<ReaderResult> read = row && row->reader ? row->reader(input) : std::nullopt;
    if (!read) {
        try {
            read = readThroughAssetFile(input.bytes, input.extension);
        } catch (const AssetLibraryError&) {
            throw LoaderError::noGeometry();
        }
    }
    if (read->count < 1 || !read->scene) throw LoaderError::noGeometry();
    return withoutAnimations(std::move(*read));
}

// COLLADA with its animations.
LoadResult loadWithSceneKit(const ReaderInput& input) {
    const std::string& ext = input.extension;
    // Scene archives are a format of another platform: nothing here reads them.
    if (ext == "scn") throw PlatformError("Scene archive files (.scn) cannot be read on this system");
    std::optional<ReaderResult> read;
    requireAssetMemory(input.bytes);
    try {
        read = readAssetMemory(input.bytes, ext, true);
    } catch (const AssetLibraryError& inMemory) {
        // A reader that crashed or hung on these bytes does the same from a file: no second
        // try, which would only double the time a hostile file holds the load.
        if (inMemory.stopped()) throw PlatformError("The " + ext + " file could not be read: " + inMemory.payload());
        try {
            TemporaryFile file(ext);
            file.write(input.bytes);
            read = readAssetFile(file.path(), true);
        } catch (const AssetLibraryError& fromFile) {
            throw PlatformError("The " + ext + " file could not be read: " + fromFile.payload());
        }
    }
    LoadResult result = withoutAnimations(std::move(*read));
    ModelLoader::extractSceneAnimations(*result.scene->rootNode, result.animations);
    result.hasAnimations = !result.animations.empty();
    return result;
}

LoadResult loadFBX(const ReaderInput& input) {
    try {
        ReaderResult read = readThroughAssetFile(input.bytes, "fbx");
        if (read.count > 0 && read.scene) return withoutAnimations(std::move(read));
    } catch (const AssetLibraryError&) {
    }
    throw LoaderError::parseError("FBX format requires Autodesk FBX SDK for full support");
}

// glTF and 3MF: the importer's result as it is.
LoadResult loadWithImporter(const FormatRow& row, const ReaderInput& input) {
    ReaderResult read = *row.reader(input);
    const bool animated = !read.animations.empty();
    return {std::move(read.scene), std::move(read.animations), animated};
}

// A block of zero bytes opens no model of any format but binary STL (whose 80-byte header
// may be blank: its reader decides). Such bytes fail with the route's own failure before any
// reader walks or copies them.
constexpr std::size_t kSniffedBytes = 4096;

bool beginsWithZeroBlock(std::span<const std::uint8_t> data) {
    if (data.size() < kSniffedBytes) return false;
    return std::all_of(data.begin(), data.begin() + kSniffedBytes, [](std::uint8_t b) { return b == 0; });
}

void refuseZeroBlock(Route route, const std::string& extension) {
    switch (route) {
    case Route::gltf:
        throw LoaderError::parseError(extension == "glb" ? "Invalid GLB magic number" : "Failed to parse glTF JSON");
    case Route::threeMF: throw LoaderError::parseError("3MF model file not found");
    case Route::fbx: throw LoaderError::parseError("FBX format requires Autodesk FBX SDK for full support");
    case Route::modelIO:
    case Route::sceneKit: throw LoaderError::noGeometry("the file begins with a block of zero bytes");
    case Route::vdb:
    case Route::unsupported: break;
    }
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
    const FormatRow* row = formatFor(extension);
    return row ? row->route : Route::unsupported;
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
    RelatedFiles related = fileURL ? RelatedFiles(*fileURL) : RelatedFiles();
    const ReaderInput input{data, extension, related};
    const FormatRow* row = formatFor(extension);
    const Route route = row ? row->route : Route::unsupported;
    if (extension != "stl" && beginsWithZeroBlock(data)) refuseZeroBlock(route, extension);
    switch (route) {
    case Route::modelIO: return loadWithModelIO(row, input);
    case Route::sceneKit: return loadWithSceneKit(input);
    case Route::gltf:
    case Route::threeMF: return loadWithImporter(*row, input);
    case Route::fbx: return loadFBX(input);
    case Route::vdb: throw LoaderError::unsupportedFormat("VDB volumetric files require OpenVDB library");
    case Route::unsupported: break;
    }
    throw LoaderError::unsupportedFormat(extension);
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
