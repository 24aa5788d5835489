// The one door by which a file's bytes become a scene: picks a route by the lower-cased
// file extension (FormatTable.h) and returns a LoadResult, or throws LoaderError (or
// PlatformError for a failure of the system underneath).
// Stateless and safe to call from several threads at once.
#pragma once

#include "FormatTable.h"
#include "formats/common/LoaderError.h"
#include "formats/common/ReaderResult.h"
#include "scene/Scene.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace trimeo {

class ModelLoader {
public:
    struct LoadResult {
        std::shared_ptr<scene::Scene> scene;
        AnimationMap animations;
        bool hasAnimations = false;
    };
    using Route = trimeo::Route;

    // `fileURL` gives the extension (without one the bytes are read as OBJ) and the folder in
    // which files the model names are found.
    static LoadResult load(std::span<const std::uint8_t> data, const std::optional<std::filesystem::path>& fileURL);

    // The text after the last dot of the last path component, lower-cased; empty when none.
    static std::string fileExtension(const std::filesystem::path& fileURL);
    static Route routeFor(const std::string& lowerCasedExtension);
    static const char* routeName(Route route);

    // Collects every node's animations into `into` under "<node name or 'node'>_<key>",
    // depth first, each node before its children; a later node wins a key collision.
    static void extractSceneAnimations(const scene::Node& from, AnimationMap& into);
};

} // namespace trimeo
