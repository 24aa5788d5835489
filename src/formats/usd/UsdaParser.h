// Reads a usda text layer into a Stage: prims defined with def, over and class (nested
// to kMaxNestingDepth), their attributes' values, interpolation and connections, their
// relationships' targets, their composition metadata (references, payload, inherits,
// specializes, variant selections, active, instanceable, kind) and variant sets, and the
// layer's upAxis, defaultPrim, metersPerUnit and subLayers. A list edit keeps what one
// layer states: prepended, explicit and appended items, deleted ones left out. Layer
// offsets, dictionaries and other metadata are parsed and dropped; of time samples only
// the first is kept, and it wins over a default.
// Throws UsdFormatError for text that is not a usda layer or breaks its grammar.
#pragma once

#include "UsdStage.h"

#include <string_view>

namespace trimeo::usd {

Stage parseUsda(std::string_view text);

} // namespace trimeo::usd
