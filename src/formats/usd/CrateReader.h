// Reads a usdc (crate) layer into a Stage: prim specs with their typeName and specifier,
// attribute specs with their typeName, interpolation and default value (or else first time
// sample), and the pseudo-root's upAxis. Children keep the order of their parent's
// primChildren field where it lists them, file order otherwise. Prims under variants
// are not read. Throws UsdFormatError for a damaged or unsupported file.
#pragma once

#include "UsdStage.h"

#include <cstdint>
#include <span>

namespace trimeo::usd {

Stage readCrate(std::span<const std::uint8_t> bytes);

} // namespace trimeo::usd
