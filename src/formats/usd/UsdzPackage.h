// The first USD layer inside a usdz package (a ZIP archive), read in memory with libzip.
// Entries are taken in archive order; the first whose name ends in .usda, .usdc or .usd
// (any case) is the layer. Its bytes are read up to kMaxLayerBytes, whatever size the
// archive declares. Throws UsdFormatError when the bytes are no ZIP archive, hold no layer,
// or the layer cannot be unpacked (bad data, CRC mismatch, encryption, too large).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace trimeo::usd {

inline constexpr std::size_t kMaxLayerBytes = std::size_t(1) << 30;

struct PackagedLayer {
    std::string extension; // "usda", "usdc" or "usd", lower-cased
    std::vector<std::uint8_t> bytes;
};

PackagedLayer firstPackagedLayer(std::span<const std::uint8_t> package);

} // namespace trimeo::usd
