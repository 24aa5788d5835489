// The Ogawa container under every current Alembic file: a 16-byte header ("Ogawa", a
// frozen flag, a version, the root group's offset), then groups (a child count and one
// 64-bit entry per child) and data blocks (a 64-bit size and the bytes). An entry with the
// top bit set names a data block, otherwise a group; offset 0 is the empty one of either.
// Nothing is copied: data blocks are views into the caller's bytes, which must outlive
// this object. Every offset and size is checked against the file before it is used.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace trimeo::alembic {

struct OgawaGroup {
    std::uint64_t offset = 0; // 0 for the empty group
    std::uint64_t count = 0;  // already checked to fit in the file
};

class OgawaFile {
public:
    explicit OgawaFile(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    static bool hasMagic(std::span<const std::uint8_t> bytes);

    // The root group, or nothing when the header is missing or points outside the file.
    std::optional<OgawaGroup> root() const;

    bool isData(const OgawaGroup& group, std::uint64_t child) const;
    // The child as a group / as a data block; nothing when it is the other kind, out of
    // range, or reaches past the end of the file.
    std::optional<OgawaGroup> group(const OgawaGroup& group, std::uint64_t child) const;
    std::optional<std::span<const std::uint8_t>> data(const OgawaGroup& group, std::uint64_t child) const;

private:
    std::optional<std::uint64_t> entry(const OgawaGroup& group, std::uint64_t child) const;
    std::optional<OgawaGroup> groupAt(std::uint64_t offset) const;
    std::span<const std::uint8_t> bytes_;
};

} // namespace trimeo::alembic
