// A usdz package (a ZIP archive) read in memory with libzip. Its first entry whose name
// ends in .usda, .usdc or .usd (any case), in archive order, is the package's layer; other
// entries (further layers, textures, packages inside) are read by name. An entry's bytes
// are read up to kMaxLayerBytes, whatever size the archive declares. Throws UsdFormatError
// when the bytes are no ZIP archive, hold no layer, or an entry cannot be unpacked (bad
// data, CRC mismatch, encryption, too large).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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

class UsdzPackage {
public:
    // `bytes` must stay valid as long as the package; `keepAlive` may own them.
    UsdzPackage(std::span<const std::uint8_t> bytes, std::shared_ptr<const void> keepAlive);
    ~UsdzPackage();
    UsdzPackage(const UsdzPackage&) = delete;
    UsdzPackage& operator=(const UsdzPackage&) = delete;

    // The name of the package's layer.
    const std::string& firstLayer() const { return firstLayer_; }
    // The entry's bytes, or nothing when the package has no entry of that name.
    std::optional<std::vector<std::uint8_t>> read(const std::string& name) const;

private:
    struct Archive;
    std::shared_ptr<const void> keepAlive_;
    std::unique_ptr<Archive> archive_;
    std::string firstLayer_;
};

} // namespace trimeo::usd
