// The USD family's reader: usda text, usdc crate and usdz packages, read in memory.
// Bytes it cannot read end in LoaderError::noGeometry carrying the reason (the asset route
// has always called such files empty); a readable file without meshes gives count 0 and an
// empty scene.
#pragma once

#include "formats/common/ReaderResult.h"

#include <optional>

namespace trimeo::usd {

// "usd" may hold either text or crate, so the bytes decide for it; the other extensions
// are taken at their word.
std::optional<ReaderResult> readUsd(const ReaderInput& input);

} // namespace trimeo::usd
