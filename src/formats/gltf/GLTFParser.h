// glTF 2.0 importer for the JSON text form (.gltf) and the binary container (.glb).
// Builds a flat scene: one grey node per placed mesh primitive that yields geometry, its
// positions in scene coordinates (node transforms and instances applied), triangles only;
// each glTF animation becomes a placeholder entry. One instance serves one load.
#pragma once

#include "formats/common/ReaderResult.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace trimeo {
namespace gltf {
class Accessors;
class BufferSet;
class BufferViews;
class DecodeBudget;
class JSONDocument;
} // namespace gltf

class GLTFParser {
public:
    // `data` is the whole file; buffers stored in separate files are read through `related`
    // (without a location they stay absent, so the document loads without their geometry).
    // Throws LoaderError::parseError for a damaged container or JSON, a glTF 1.0 document, an
    // extension the document requires that this reader does not support, or a buffer file
    // that cannot be read; noGeometry when the document has no "meshes" array of objects.
    ReaderResult parse(std::span<const std::uint8_t> data, bool isBinary, RelatedFiles& related);

    // The extensions a document may require: those this reader decodes, and those that only
    // change how surfaces look (every surface here is plain grey).
    static bool supportsExtension(std::string_view name);

private:
    ReaderResult buildScene(const gltf::JSONDocument& from, gltf::BufferSet& buffers, gltf::DecodeBudget& budget);
    // Null when the primitive yields no triangle geometry (points and lines included), or when
    // decoding it would exceed what is left of the document's budget; never throws except
    // for a buffer file that cannot be read.
    std::shared_ptr<scene::Geometry> buildGeometry(const nlohmann::json& from, gltf::Accessors& accessors,
                                                   gltf::BufferViews& views, gltf::DecodeBudget& budget);
};

// The reader for the format table: "glb" selects the binary container.
std::optional<ReaderResult> readGLTF(const ReaderInput& input);

} // namespace trimeo
