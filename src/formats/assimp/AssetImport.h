// The asset library (Assimp) behind the native routes, and the conversion of what it
// reads into our scene layer: hierarchy, names, transforms, positions, normals, the first
// UV set, skins (bones as joint names with their bind matrices, four weights per vertex),
// the materials the file defines, and (when asked) node animations.
#pragma once

#include "formats/common/ReaderResult.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace trimeo {

// What a read that produced no scene throws: a parse error whose payload is the library's
// reason. `stopped` tells a reader that crashed or was killed at its time limit, on which a
// second try would only double the time a hostile file holds the load.
class AssetLibraryError : public LoaderError {
public:
    AssetLibraryError(std::string reason, bool stopped)
        : LoaderError(Kind::parseError, std::move(reason)), stopped_(stopped) {}
    bool stopped() const { return stopped_; }

private:
    bool stopped_;
};

// Memory a read may take beyond what the viewer already holds: the readers build their own
// copy of the whole file and more, so the bound grows with the input.
constexpr std::size_t kReaderBaseMemoryBytes = std::size_t(4) << 30;
constexpr std::size_t kReaderMemoryPerInputByte = 16;
std::size_t readerMemoryLimit(std::size_t inputBytes);

// Both run the asset library in a child process (IsolatedCall.h) and return the scene it
// read (count = meshes holding at least one face, possibly 0). They throw
// LoaderError::parseError when the read needs more than readerMemoryLimit(), and
// AssetLibraryError when the library produced no scene.
ReaderResult readAssetFile(const std::filesystem::path& path, bool withAnimations);
ReaderResult readAssetMemory(std::span<const std::uint8_t> data, const std::string& extensionHint, bool withAnimations);

} // namespace trimeo
