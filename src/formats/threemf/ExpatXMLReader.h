// The reference XML reading: expat, namespace processing off, over the whole document.
// Events arrive until the end or the first fault; what came before a fault stays delivered.
#pragma once

#include "XMLEvents.h"

#include <cstdint>
#include <span>

namespace trimeo::threemf {

// True when the document was read to its end without a fault.
bool readXMLWithExpat(std::span<const std::uint8_t> document, XMLEventHandler& handler);

} // namespace trimeo::threemf
