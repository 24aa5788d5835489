// The USD family's reader: usda text, usdc crate and usdz packages, read in memory and
// composed with the layers they name (through the related-file resolver, or inside the
// package). A model whose own bytes cannot be read ends in LoaderError::noGeometry carrying
// the reason (the asset route has always called such files empty); a stage without meshes
// gives count 0 and an empty scene, unless layers it names could not be read: then
// LoaderError::parseError lists them with the reasons.
#pragma once

#include "formats/common/ReaderResult.h"

#include <optional>

namespace trimeo::usd {

// "usd" may hold either text or crate, so the bytes decide for it; the other extensions
// are taken at their word.
std::optional<ReaderResult> readUsd(const ReaderInput& input);

} // namespace trimeo::usd
