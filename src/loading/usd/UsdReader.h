// The USD family's reader for the asset route: usda text, usdc crate and usdz packages,
// read in memory. Never throws for bad bytes: a file that cannot be read comes back with
// count 0, no scene and the reason in `error`; a readable file without meshes with count 0
// and an empty scene.
#pragma once

#include "loading/AssetImport.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace trimeo::usd {

// True for the extensions this reader serves: "usd", "usda", "usdc", "usdz".
bool isUsdExtension(std::string_view lowerCasedExtension);

// "usd" may hold either text or crate, so the bytes decide for it; the other extensions
// are taken at their word.
AssetRead readUsd(std::span<const std::uint8_t> data, std::string_view lowerCasedExtension);

} // namespace trimeo::usd
