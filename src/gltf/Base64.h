// Base64 decoding for glTF data URIs.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace trimeo::gltf {

// Decodes the standard alphabet (A-Z a-z 0-9 + /) with "=" padding; the length must be a
// multiple of 4. Any other character (whitespace and line breaks included), missing padding, or
// "=" anywhere but the last one or two places rejects the whole text: nullopt. The empty text
// decodes to no bytes. The output is 3/4 of the input's size, never more.
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text);

} // namespace trimeo::gltf
