// The one binary buffer every bufferView of a document lies in: the GLB's BIN chunk, or the
// base64 text of the text form's data URI. Base64 is decoded only where accessors read it, and
// straight into their output, so a 100 MB embedded buffer is never held twice.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace trimeo::gltf {

class BinaryBuffer {
public:
    // Both keep a view: the bytes or text must outlive the buffer.
    static BinaryBuffer fromBytes(std::span<const std::uint8_t> bytes);
    // Nullopt when the text is not valid base64 as a whole (Base64.h).
    static std::optional<BinaryBuffer> fromBase64(std::string_view text);

    // Length in decoded bytes.
    std::size_t size() const { return size_; }

    // Writes bytes [offset, offset + length) to `out`. A range reaching past size() writes
    // nothing and returns false.
    bool read(std::size_t offset, std::size_t length, std::uint8_t* out) const;

private:
    std::span<const std::uint8_t> bytes_;
    std::string_view base64_;
    std::size_t size_ = 0;
    bool isBase64_ = false;
};

} // namespace trimeo::gltf
