#include "OgawaFile.h"

#include <cstring>

namespace trimeo::alembic {
namespace {
constexpr std::uint64_t kDataBit = 0x8000000000000000ull;
constexpr std::size_t kHeaderSize = 16;
} // namespace

bool OgawaFile::hasMagic(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kHeaderSize && std::memcmp(bytes.data(), "Ogawa", 5) == 0;
}

std::optional<OgawaGroup> OgawaFile::root() const {
    if (!hasMagic(bytes_)) return std::nullopt;
    std::uint64_t offset;
    std::memcpy(&offset, bytes_.data() + 8, 8);
    // A file whose writer never finished still says 0 here: it holds nothing to read.
    if (offset == 0) return std::nullopt;
    return groupAt(offset);
}

std::optional<OgawaGroup> OgawaFile::groupAt(std::uint64_t offset) const {
    if (offset == 0) return OgawaGroup{};
    if (offset < kHeaderSize || offset > bytes_.size() || bytes_.size() - offset < 8) return std::nullopt;
    std::uint64_t count;
    std::memcpy(&count, bytes_.data() + offset, 8);
    if (count > (bytes_.size() - offset - 8) / 8) return std::nullopt;
    return OgawaGroup{offset, count};
}

std::optional<std::uint64_t> OgawaFile::entry(const OgawaGroup& group, std::uint64_t child) const {
    if (child >= group.count) return std::nullopt;
    std::uint64_t value;
    std::memcpy(&value, bytes_.data() + group.offset + 8 + child * 8, 8);
    return value;
}

bool OgawaFile::isData(const OgawaGroup& group, std::uint64_t child) const {
    auto e = entry(group, child);
    return e && (*e & kDataBit);
}

std::optional<OgawaGroup> OgawaFile::group(const OgawaGroup& group, std::uint64_t child) const {
    auto e = entry(group, child);
    if (!e || (*e & kDataBit)) return std::nullopt;
    return groupAt(*e);
}

std::optional<std::span<const std::uint8_t>> OgawaFile::data(const OgawaGroup& group, std::uint64_t child) const {
    auto e = entry(group, child);
    if (!e || !(*e & kDataBit)) return std::nullopt;
    const std::uint64_t offset = *e & ~kDataBit;
    if (offset == 0) return std::span<const std::uint8_t>{};
    if (offset < kHeaderSize || offset > bytes_.size() || bytes_.size() - offset < 8) return std::nullopt;
    std::uint64_t size;
    std::memcpy(&size, bytes_.data() + offset, 8);
    if (size > bytes_.size() - offset - 8) return std::nullopt;
    return bytes_.subspan(std::size_t(offset + 8), std::size_t(size));
}

} // namespace trimeo::alembic
