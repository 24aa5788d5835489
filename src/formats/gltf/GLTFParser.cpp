// Container and document checks: GLB chunks or the JSON text, the glTF version, the required
// extensions; then the buffers, resolved as bufferViews need them.
#include "GLTFParser.h"

#include "BufferSet.h"
#include "GLBContainer.h"
#include "JSONDocument.h"

#include <array>
#include <string_view>

namespace trimeo {
namespace {

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// glTF 1.0 shares the file extensions but not the layout; its "asset" says "1.0" or "1.0.1".
void refuseVersion1(const gltf::JSONDocument& document) {
    const gltf::JSON* version = gltf::member(gltf::member(document.root(), "asset"), "version");
    const auto text = version ? document.text(*version) : std::nullopt;
    if (text && (*text == "1" || text->starts_with("1.")))
        throw LoaderError::parseError("glTF 1.0 files are not supported; re-export as glTF 2.0");
}

void refuseUnsupportedExtensions(const gltf::JSONDocument& document) {
    const gltf::JSON* required = gltf::member(document.root(), "extensionsRequired");
    if (!required || !required->is_array()) return;
    for (const gltf::JSON& entry : *required) {
        const auto name = document.text(entry);
        if (name && !GLTFParser::supportsExtension(*name))
            throw LoaderError::parseError("glTF extension '" + std::string(*name) +
                                          "' is required by this file but not supported");
    }
}

} // namespace

bool GLTFParser::supportsExtension(std::string_view name) {
    static constexpr std::array<std::string_view, 11> supported = {
        // Decoded here.
        "KHR_draco_mesh_compression", "EXT_meshopt_compression", "KHR_mesh_quantization", "EXT_mesh_gpu_instancing",
        // Appearance only.
        "KHR_texture_transform", "KHR_texture_basisu", "EXT_texture_webp", "MSFT_texture_dds", "KHR_lights_punctual",
        "KHR_technique_webgl", "KHR_materials_variants"};
    if (name.starts_with("KHR_materials_")) return true;
    for (std::string_view s : supported)
        if (s == name) return true;
    return false;
}

ReaderResult GLTFParser::parse(std::span<const std::uint8_t> data, bool isBinary, RelatedFiles& related) {
    std::optional<gltf::JSONDocument> document;
    std::optional<std::span<const std::uint8_t>> binaryChunk;
    if (isBinary) {
        const gltf::GLBChunks chunks = gltf::readGLBChunks(data);
        if (chunks.json) document = gltf::JSONDocument::parse(asText(*chunks.json));
        if (!document || !document->root().is_object()) throw LoaderError::parseError("Failed to parse GLB JSON");
        binaryChunk = chunks.bin;
    } else {
        document = gltf::JSONDocument::parse(asText(data));
        if (!document || !document->root().is_object()) throw LoaderError::parseError("Failed to parse glTF JSON");
    }
    refuseVersion1(*document);
    refuseUnsupportedExtensions(*document);

    gltf::DecodeBudget budget;
    gltf::BufferSet buffers(*document, isBinary, binaryChunk, related, budget);
    return buildScene(*document, buffers, budget);
}

std::optional<ReaderResult> readGLTF(const ReaderInput& input) {
    return GLTFParser().parse(input.bytes, input.extension == "glb", input.related);
}

} // namespace trimeo
