// Reads a usdc (crate) layer into a Stage: prims with their typeName, specifier and
// composition fields (references, payload, inheritPaths, specializes, variantSelection,
// active, instanceable, kind), variant entries ("/Prim{set=variant}") as the prim's variant
// sets, attributes with their typeName, interpolation, connections and default value
// (or else first time sample), relationship targets, and the pseudo-root's upAxis,
// defaultPrim, metersPerUnit and subLayers. Children keep the order of their parent's
// primChildren field where it lists them, file order otherwise. A variant's own variant
// sets are not kept. Throws UsdFormatError for a damaged or unsupported file.
#pragma once

#include "UsdStage.h"

#include <cstdint>
#include <span>

namespace trimeo::usd {

Stage readCrate(std::span<const std::uint8_t> bytes);

} // namespace trimeo::usd
