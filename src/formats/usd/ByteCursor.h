// The crate reader's cursor: every read past the end, and every seek outside the span,
// throws UsdFormatError instead of touching memory it should not.
#pragma once

#include "UsdFormatError.h"
#include "formats/common/ByteCursor.h"

namespace trimeo::usd {

using ByteCursor = StrictByteCursor<UsdFormatError>;

} // namespace trimeo::usd
