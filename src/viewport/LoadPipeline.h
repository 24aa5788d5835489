// The viewport's background work as one plain function: load the bytes and build the
// presented scene, or describe why that failed. No Qt, no GL: runs on any thread.
#pragma once

#include "MeshData.h"
#include "loading/ModelLoader.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>

namespace trimeo {

struct PresentedModel {
    std::shared_ptr<scene::Scene> scene; // root children: container, floor, camera
    ModelLoader::LoadResult loadResult;  // its scene is left empty by the move
    PreparedMeshes meshes;               // what the renderer uploads, made off the interface thread
};

struct LoadFailure {
    std::string description; // what the user sees
};

using LoadOutcome = std::variant<PresentedModel, LoadFailure>;

// Seconds spent in the loader and in building the presented scene.
struct LoadTimings {
    double read = 0, load = 0, present = 0; // read: opening the file (loadAndPresentFile only)
};

// Never throws: every error of the load (loader errors, platform errors, running out of
// memory) becomes a LoadFailure carrying its description.
LoadOutcome loadAndPresent(std::span<const std::uint8_t> data, const std::optional<std::filesystem::path>& fileURL,
                           LoadTimings* timings = nullptr);

// The file at `path` opened as a ModelFile, then loaded as above. Nothing when the file
// cannot be opened at all (FileOpenError), for the caller to say so in its own words; a
// file refused for its size is a LoadFailure like any other. Never throws.
std::optional<LoadOutcome> loadAndPresentFile(const std::filesystem::path& path, LoadTimings* timings = nullptr);

} // namespace trimeo
