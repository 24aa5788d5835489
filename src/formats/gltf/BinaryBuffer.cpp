#include "BinaryBuffer.h"

#include "Base64.h"

#include <cstring>

namespace trimeo::gltf {

BinaryBuffer BinaryBuffer::fromBytes(std::span<const std::uint8_t> bytes) {
    BinaryBuffer buffer;
    buffer.bytes_ = bytes;
    buffer.size_ = bytes.size();
    return buffer;
}

std::optional<BinaryBuffer> BinaryBuffer::fromBase64(std::string_view text) {
    const auto size = base64DecodedSize(text);
    if (!size) return std::nullopt;
    BinaryBuffer buffer;
    buffer.base64_ = text;
    buffer.isBase64_ = true;
    buffer.size_ = *size;
    return buffer;
}

bool BinaryBuffer::read(std::size_t offset, std::size_t length, std::uint8_t* out) const {
    if (offset > size_ || length > size_ - offset) return false;
    if (length == 0) return true;
    if (isBase64_) decodeBase64Range(base64_, offset, length, out);
    else std::memcpy(out, bytes_.data() + offset, length);
    return true;
}

} // namespace trimeo::gltf
