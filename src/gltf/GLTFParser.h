// glTF 2.0 importer for the JSON text form (.gltf) and the binary container (.glb).
#pragma once

#include "loading/ModelLoader.h"

#include <cstdint>
#include <span>

namespace trimeo {

class GLTFParser {
public:
    ModelLoader::LoadResult parse(std::span<const std::uint8_t> data, bool isBinary);
};

} // namespace trimeo
