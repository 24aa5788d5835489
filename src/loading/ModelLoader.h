// The one door by which a file's bytes become a scene: picks an importer by the
// lower-cased file extension and returns a LoadResult, or throws LoaderError
// (or PlatformError for a failure of the system underneath).
// Stateless and safe to call from several threads at once.
#pragma once

#include "LoaderError.h"
#include "scene/Scene.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace trimeo {

using AnimationMap = std::map<std::string, std::shared_ptr<const scene::Animation>>;

class ModelLoader {
public:
    struct LoadResult {
        std::shared_ptr<scene::Scene> scene;
        AnimationMap animations;
        bool hasAnimations = false;
    };
    using LoaderError = trimeo::LoaderError;

    enum class Route { modelIO, sceneKit, gltf, threeMF, fbx, vdb, unsupported };

    // `fileURL` is used only for its extension; without one the bytes are read as OBJ.
    static LoadResult load(std::span<const std::uint8_t> data, const std::optional<std::filesystem::path>& fileURL);

    // The text after the last dot of the last path component, lower-cased; empty when none.
    static std::string fileExtension(const std::filesystem::path& fileURL);
    static Route routeFor(const std::string& lowerCasedExtension);
    static const char* routeName(Route route);

    // The asset-library route: STL, OBJ, PLY, the USD family, Alembic.
    static LoadResult loadWithModelIO(std::span<const std::uint8_t> data, const std::string& fileExtension);
    // The scene-reader route: COLLADA and scene archives, with their animations.
    static LoadResult loadWithSceneKit(std::span<const std::uint8_t> data, const std::string& fileExtension);
    // Collects every node's animations into `into` under "<node name or 'node'>_<key>",
    // depth first, each node before its children; a later node wins a key collision.
    static void extractSceneAnimations(const scene::Node& from, AnimationMap& into);

private:
    static LoadResult loadFBX(std::span<const std::uint8_t> data);
};

} // namespace trimeo
