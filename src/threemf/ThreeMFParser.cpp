#include "ThreeMFParser.h"

namespace trimeo {

// Placeholder until the importer lands.
ModelLoader::LoadResult ThreeMFParser::parse(std::span<const std::uint8_t>) {
    throw LoaderError::unsupportedFormat("3mf");
}

} // namespace trimeo
