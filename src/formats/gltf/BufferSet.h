// Every buffer of a document, each read the first time a bufferView needs it: the base64 text
// of a data URI, the GLB's BIN chunk (buffer 0 of a GLB, whatever its "uri" says), or a file
// beside the model through the related-file resolver. A buffer no primitive needs is never read.
#pragma once

#include "BinaryBuffer.h"
#include "DecodeBudget.h"
#include "JSONDocument.h"
#include "formats/common/RelatedFiles.h"

#include <map>
#include <optional>
#include <span>
#include <vector>

namespace trimeo::gltf {

class BufferSet {
public:
    // `glbBinary` is the BIN chunk, for a GLB. The document, the chunk and `related` must
    // outlive the set; every buffer read grows `budget`.
    BufferSet(const JSONDocument& document, bool isBinary, std::optional<std::span<const std::uint8_t>> glbBinary,
              RelatedFiles& related, DecodeBudget& budget);

    // The buffer at `index`; null when the document gives it no bytes: no such buffer, no
    // "uri", a data URI that is not ";base64,", a URI of another scheme, a GLB without a BIN
    // chunk, or a file named while the model has no location. A file the resolver refuses ends the load:
    // LoaderError::parseError("glTF buffer 'scene.bin' could not be read: not found").
    const BinaryBuffer* buffer(std::size_t index);

private:
    std::optional<BinaryBuffer> resolve(std::size_t index);

    const JSONDocument& document_;
    bool isBinary_;
    std::optional<std::span<const std::uint8_t>> glbBinary_;
    RelatedFiles& related_;
    DecodeBudget& budget_;
    std::span<const JSON> entries_;
    std::map<std::size_t, std::optional<BinaryBuffer>> resolved_;
    std::vector<RelatedFiles::Bytes> files_; // keeps the bytes file buffers refer to
};

} // namespace trimeo::gltf
