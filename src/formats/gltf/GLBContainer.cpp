#include "GLBContainer.h"

#include "formats/common/LoaderError.h"

namespace trimeo::gltf {
namespace {

constexpr std::uint32_t magicGLTF = 0x46546C67; // "glTF"
constexpr std::uint32_t chunkJSON = 0x4E4F534A; // "JSON"
constexpr std::uint32_t chunkBIN = 0x004E4942;  // "BIN\0"
constexpr std::uint64_t headerSize = 12, chunkHeaderSize = 8;

std::uint32_t readUint32LE(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

} // namespace

GLBChunks readGLBChunks(std::span<const std::uint8_t> data) {
    if (data.size() < headerSize) throw LoaderError::parseError("GLB file too small");
    if (readUint32LE(data.data()) != magicGLTF) throw LoaderError::parseError("Invalid GLB magic number");

    GLBChunks chunks;
    const std::uint64_t size = data.size();
    std::uint64_t offset = headerSize; // 64-bit: offset + 8 + a 32-bit length cannot wrap
    while (offset < size) {
        if (size - offset < chunkHeaderSize) break;
        const std::uint64_t length = readUint32LE(data.data() + offset);
        const std::uint32_t type = readUint32LE(data.data() + offset + 4);
        const std::uint64_t begin = offset + chunkHeaderSize;
        if (length > size - begin) break; // truncated chunk: dropped
        const auto bytes = data.subspan(begin, length);
        if (type == chunkJSON) chunks.json = bytes;
        else if (type == chunkBIN) chunks.bin = bytes;
        offset = begin + length;
    }
    return chunks;
}

} // namespace trimeo::gltf
