// Unpacks a crate value representation (a 64-bit word: array, inline and compressed flags,
// a type code, and an inline value or a file offset) into a Value. Read: booleans, the
// integer and floating types (half included), vectors, quaternions and matrices of them,
// tokens, strings and asset paths, alone or in arrays, compressed integer and float arrays,
// token vectors, specifiers, and time samples (first sample only). Any other type gives an
// empty Value. Throws UsdFormatError when the data it points at is out of bounds or damaged.
#pragma once

#include "CrateSections.h"
#include "UsdStage.h"

#include <cstdint>

namespace trimeo::usd {

Value unpackValue(const CrateLayout& layout, std::uint64_t valueRep);

// The crate's type code of a value representation (bits 48 to 55).
inline unsigned crateTypeOf(std::uint64_t valueRep) { return unsigned((valueRep >> 48) & 0xff); }

} // namespace trimeo::usd
