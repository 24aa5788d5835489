// The GLB binary container: a 12-byte header, then chunks of (length, type, data).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace trimeo::gltf {

struct GLBChunks {
    std::optional<std::span<const std::uint8_t>> json; // the last JSON chunk's data
    std::optional<std::span<const std::uint8_t>> bin;  // the last BIN chunk's data
};

// Walks the chunks from offset 12 to the real end of `data` (the header's version and total
// length are not read). The last chunk of each type wins; other types are passed over. A
// chunk whose header or data would reach past the end of `data` is dropped, which ends the
// walk: nothing outside `data` is read. The views point into `data`.
// Throws LoaderError::parseError "GLB file too small" below 12 bytes and
// "Invalid GLB magic number" when the file does not begin with "glTF".
GLBChunks readGLBChunks(std::span<const std::uint8_t> data);

} // namespace trimeo::gltf
