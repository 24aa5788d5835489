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

struct AssetRead;

// Appends the encoded read result to `out`.
void encodeAssetRead(const AssetRead& read, std::vector<std::uint8_t>& out);
// Throws PlatformError when the bytes are not a complete, well-formed encoding.
AssetRead decodeAssetRead(std::span<const std::uint8_t> bytes);

} // namespace trimeo
