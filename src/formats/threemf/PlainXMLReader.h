// A fast reader for the plain XML that model parts are written in: UTF-8, an optional XML
// declaration (version 1.0, UTF-8), comments, elements, attributes, the predefined entities
// and character references. On a document it accepts, it gives exactly the events expat
// gives (names as written, values expanded and normalised); it declines a document with
// anything outside that subset (a document type, processing instructions, CDATA sections,
// other encodings, names beyond ASCII) and any document that is not well-formed, so that
// the caller reads it with expat instead.
#pragma once

#include "ArrivingDocument.h"
#include "XMLEvents.h"

#include <cstdint>
#include <span>

namespace trimeo::threemf {

// False when it declined; events delivered before that are to be discarded.
bool readPlainXML(std::span<const std::uint8_t> document, XMLEventHandler& handler);

// The same reading of a document while it arrives, giving the same events and the same
// answer as readPlainXML on the finished document; false, too, when it is abandoned.
bool readPlainXML(const ArrivingDocument& document, XMLEventHandler& handler);

} // namespace trimeo::threemf
