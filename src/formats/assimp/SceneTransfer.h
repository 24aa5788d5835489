// A compact binary form of a scene graph, used to hand a scene from the isolated reader
// process back to the viewer. Shared geometries and animations stay shared.
#pragma once

#include "scene/Scene.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace trimeo {

// One read of the asset library as the reader process reports it.
struct AssetRead {
    std::size_t count = 0;               // meshes holding at least one face; 0 when nothing was read
    std::shared_ptr<scene::Scene> scene; // present whenever the library produced a scene
    std::string error;                   // the library's reason when it produced none
    bool stopped = false;                // the reader crashed or was killed at its time limit
};

// Appends the encoded read result to `out`.
void encodeAssetRead(const AssetRead& read, std::vector<std::uint8_t>& out);
// Throws PlatformError when the bytes are not a complete, well-formed encoding.
AssetRead decodeAssetRead(std::span<const std::uint8_t> bytes);

} // namespace trimeo
