// Runs a reader on bytes alone, as a load without a location does: nothing beside the
// model resolves.
#pragma once

#include "formats/common/ReaderResult.h"
#include "formats/common/RelatedFiles.h"

#include <string>

namespace trimeo::test {

template <class Reader>
auto readBytes(Reader reader, std::span<const std::uint8_t> bytes, std::string extension) {
    RelatedFiles none;
    return reader(ReaderInput{bytes, std::move(extension), none});
}

} // namespace trimeo::test
