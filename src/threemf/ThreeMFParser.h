// 3MF importer: unpacks the package and reads its model parts.
#pragma once

#include "loading/ModelLoader.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace trimeo {

class ThreeMFParser {
public:
    ModelLoader::LoadResult parse(std::span<const std::uint8_t> data);
    std::optional<std::filesystem::path> extractedDir;
};

} // namespace trimeo
