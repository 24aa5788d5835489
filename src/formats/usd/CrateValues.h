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
#include <map>
#include <string>
#include <vector>

namespace trimeo::usd {

Value unpackValue(const CrateLayout& layout, std::uint64_t valueRep);

// Composition fields. A list edit (path, string, token, reference and payload list ops)
// gives its prepended, explicit, added and appended items in order, deleted ones left out;
// a path vector, a string vector or a single payload gives its items. Other types give
// nothing. Paths come as text ("/A/B"), a reference's layer offset and custom data are
// skipped.
std::vector<Arc> unpackArcs(const CrateLayout& layout, std::uint64_t valueRep);
std::vector<std::string> unpackPaths(const CrateLayout& layout, std::uint64_t valueRep);
std::vector<std::string> unpackStrings(const CrateLayout& layout, std::uint64_t valueRep);
// A variantSelection map: set -> variant.
std::map<std::string, std::string> unpackVariantSelection(const CrateLayout& layout, std::uint64_t valueRep);

// The crate's type code of a value representation (bits 48 to 55).
inline unsigned crateTypeOf(std::uint64_t valueRep) { return unsigned((valueRep >> 48) & 0xff); }

} // namespace trimeo::usd
