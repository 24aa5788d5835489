// The asset library (Assimp) behind the native routes, and the conversion of what it
// reads into our scene layer: hierarchy, names, transforms, positions, normals, the first
// UV set, the materials the file defines, and (when asked) node animations.
#pragma once

#include "scene/Scene.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace trimeo {

struct AssetRead {
    std::size_t count = 0;               // meshes holding at least one face; 0 when nothing was read
    std::shared_ptr<scene::Scene> scene; // present whenever the library produced a scene
    std::string error;                   // the library's reason when it produced none
    bool stopped = false;                // the reader crashed or was killed at its time limit
};

// True for bytes the asset library is known to hang on: a PLY header cut off before its
// end. Such a file holds no geometry, so callers treat it as read with nothing in it.
bool isTruncatedPLYHeader(std::span<const std::uint8_t> data);

// Memory a read may take beyond what the viewer already holds: the readers build their own
// copy of the whole file and more, so the bound grows with the input.
constexpr std::size_t kReaderBaseMemoryBytes = std::size_t(4) << 30;
constexpr std::size_t kReaderMemoryPerInputByte = 16;
std::size_t readerMemoryLimit(std::size_t inputBytes);

// Both run the asset library in a child process (IsolatedCall.h). Throw
// LoaderError::parseError when the read needs more than readerMemoryLimit(); every other
// failure comes back as an AssetRead without a scene.
AssetRead readAssetFile(const std::filesystem::path& path, bool withAnimations);
AssetRead readAssetMemory(std::span<const std::uint8_t> data, const std::string& extensionHint, bool withAnimations);

} // namespace trimeo
