// Base64 decoding for glTF data URIs: the standard alphabet (A-Z a-z 0-9 + /) with "="
// padding, the length a multiple of 4. Any other character (whitespace and line breaks
// included), missing padding, or "=" anywhere but the last one or two places makes the whole
// text invalid.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace trimeo::gltf {

// The number of bytes the text decodes to; nullopt when it is not valid. One pass, no allocation.
std::optional<std::size_t> base64DecodedSize(std::string_view text);

// Writes decoded bytes [offset, offset + length) of `text` to `out`. `text` must be valid and
// the range inside its decoded size (both checked by the caller); then nothing outside the text
// is read and exactly `length` bytes are written.
void decodeBase64Range(std::string_view text, std::size_t offset, std::size_t length, std::uint8_t* out);

// The whole text decoded; nullopt when it is not valid. The empty text decodes to no bytes.
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text);

} // namespace trimeo::gltf
