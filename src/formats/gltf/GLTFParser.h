// glTF 2.0 importer for the JSON text form (.gltf) and the binary container (.glb).
// Builds a flat scene: one grey node per mesh primitive that yields geometry, positions and
// triangle indices only, no transforms; each glTF animation becomes a placeholder entry.
// One instance serves one load.
#pragma once

#include "BinaryBuffer.h"
#include "formats/common/ReaderResult.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace trimeo {
namespace gltf {
class DecodeBudget;
class JSONDocument;
} // namespace gltf

class GLTFParser {
public:
    // `data` is the whole file. Nothing outside it is read: a buffer stored in a separate file
    // is never fetched, so such a document loads without geometry.
    // Throws LoaderError::parseError for a damaged container or JSON, and noGeometry when the
    // document has no "meshes" array of objects.
    ReaderResult parse(std::span<const std::uint8_t> data, bool isBinary);

private:
    // The one binary buffer every bufferView lies in; absent when the file brought none.
    using Buffer = std::optional<gltf::BinaryBuffer>;

    ReaderResult buildScene(const gltf::JSONDocument& from, const Buffer& binaryBuffer);
    // Null when the primitive yields no vertex, or when decoding it would exceed what is left
    // of the document's budget; never throws.
    std::shared_ptr<scene::Geometry> buildGeometry(const nlohmann::json& from, std::span<const nlohmann::json> accessors,
                                                   std::span<const nlohmann::json> bufferViews, const Buffer& buffer,
                                                   gltf::DecodeBudget& budget);
};

// The reader for the format table: "glb" selects the binary container.
std::optional<ReaderResult> readGLTF(const ReaderInput& input);

} // namespace trimeo
