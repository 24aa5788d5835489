// Container and buffer resolution: GLB chunks or the text form's embedded data URI.
#include "GLTFParser.h"

#include "GLBContainer.h"
#include "JSONDocument.h"

#include <string_view>

namespace trimeo {
namespace {

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The first buffer's "data:...;base64,..." URI. Anything else (a file name, a URI without
// ";base64,", text that is not base64) leaves the buffer absent, silently; the media type is
// not checked. The buffer refers to the document's text.
std::optional<gltf::BinaryBuffer> embeddedBuffer(const gltf::JSONDocument& document) {
    auto buffers = gltf::arrayOfObjects(gltf::member(document.root(), "buffers"));
    if (!buffers || buffers->empty()) return std::nullopt;
    const gltf::JSON* uriValue = gltf::member(buffers->front(), "uri");
    auto uri = uriValue ? document.text(*uriValue) : std::nullopt;
    if (!uri || !uri->starts_with("data:")) return std::nullopt;
    constexpr std::string_view marker = ";base64,";
    const std::size_t at = uri->find(marker);
    if (at == std::string_view::npos) return std::nullopt;
    return gltf::BinaryBuffer::fromBase64(uri->substr(at + marker.size()));
}

} // namespace

ReaderResult GLTFParser::parse(std::span<const std::uint8_t> data, bool isBinary) {
    if (isBinary) {
        const gltf::GLBChunks chunks = gltf::readGLBChunks(data);
        std::optional<gltf::JSONDocument> document;
        if (chunks.json) document = gltf::JSONDocument::parse(asText(*chunks.json));
        if (!document || !document->root().is_object()) throw LoaderError::parseError("Failed to parse GLB JSON");
        // The BIN chunk is the buffer; the document's "buffers" are not consulted.
        Buffer buffer;
        if (chunks.bin) buffer = gltf::BinaryBuffer::fromBytes(*chunks.bin);
        return buildScene(*document, buffer);
    }

    auto document = gltf::JSONDocument::parse(asText(data));
    if (!document || !document->root().is_object()) throw LoaderError::parseError("Failed to parse glTF JSON");
    return buildScene(*document, embeddedBuffer(*document));
}

std::optional<ReaderResult> readGLTF(const ReaderInput& input) {
    return GLTFParser().parse(input.bytes, input.extension == "glb");
}

} // namespace trimeo
