#include "GLTFParser.h"

namespace trimeo {

// Placeholder until the importer lands.
ModelLoader::LoadResult GLTFParser::parse(std::span<const std::uint8_t>, bool isBinary) {
    throw LoaderError::unsupportedFormat(isBinary ? "glb" : "gltf");
}

} // namespace trimeo
