#include "AbcHeaders.h"

#include "formats/common/ByteCursor.h"

namespace trimeo::alembic {
namespace {
constexpr std::uint8_t kInlineMetadata = 0xff;
constexpr std::size_t kObjectHashes = 32;

std::string indexed(const std::vector<std::string>& table, std::uint32_t index) {
    return index < table.size() ? table[index] : std::string();
}
} // namespace

std::size_t podSize(std::uint8_t pod) {
    static constexpr std::size_t sizes[] = {1, 1, 1, 2, 2, 4, 4, 8, 8, 2, 4, 8, 0, 0};
    return pod < std::size(sizes) ? sizes[pod] : 0;
}

std::string metadataValue(std::string_view metadata, std::string_view key) {
    while (!metadata.empty()) {
        std::size_t end = metadata.find(';');
        std::string_view pair = metadata.substr(0, end);
        std::size_t eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == key) return std::string(pair.substr(eq + 1));
        if (end == std::string_view::npos) break;
        metadata.remove_prefix(end + 1);
    }
    return {};
}

std::vector<std::string> parseIndexedMetadata(std::span<const std::uint8_t> block) {
    std::vector<std::string> table{std::string()};
    ByteCursor in(block);
    std::uint8_t size;
    std::string text;
    // The index is one byte and 0xff means "inline": no more entries can be referred to.
    while (table.size() < kInlineMetadata && in.read(size) && in.readText(size, text)) table.push_back(text);
    return table;
}

std::vector<ObjectHeader> parseObjectHeaders(std::span<const std::uint8_t> block,
                                             const std::vector<std::string>& table) {
    std::vector<ObjectHeader> headers;
    if (block.size() < kObjectHashes) return headers;
    ByteCursor in(block.first(block.size() - kObjectHashes));
    while (!in.atEnd()) {
        ObjectHeader h;
        std::uint32_t nameSize;
        std::uint8_t metaIndex;
        if (!in.read(nameSize) || !in.readText(nameSize, h.name) || !in.read(metaIndex)) break;
        if (metaIndex == kInlineMetadata) {
            std::uint32_t metaSize;
            if (!in.read(metaSize) || !in.readText(metaSize, h.metadata)) break;
        } else {
            h.metadata = indexed(table, metaIndex);
        }
        headers.push_back(std::move(h));
    }
    return headers;
}

// Each header opens with a 32-bit word of bit fields; the sizes that follow are stored in
// 1, 2 or 4 bytes as the word says.
std::vector<PropertyHeader> parsePropertyHeaders(std::span<const std::uint8_t> block,
                                                 const std::vector<std::string>& table) {
    std::vector<PropertyHeader> headers;
    ByteCursor in(block);
    while (!in.atEnd()) {
        std::uint32_t info;
        if (!in.read(info)) break;
        PropertyHeader h;
        const std::uint32_t type = info & 0x3;
        const int width = 1 << ((info >> 2) & 0x3);
        if (width > 4) break;
        h.kind = type == 0 ? PropertyKind::compound : type == 1 ? PropertyKind::scalar : PropertyKind::array;
        h.pod = std::uint8_t((info >> 4) & 0xf);
        h.extent = std::uint8_t((info >> 12) & 0xff);
        const std::uint32_t metaIndex = (info >> 20) & 0xff;
        bool ok = true;
        if (h.kind != PropertyKind::compound) {
            ok = in.readSized(width, h.sampleCount);
            std::uint32_t firstChanged, lastChanged;
            if (ok && (info & 0x200)) ok = in.readSized(width, firstChanged) && in.readSized(width, lastChanged);
            if (ok && (info & 0x100)) ok = in.readSized(width, h.timeSampling);
        }
        std::uint32_t nameSize;
        ok = ok && in.readSized(width, nameSize) && in.readText(nameSize, h.name);
        if (ok && metaIndex == kInlineMetadata) {
            std::uint32_t metaSize;
            ok = in.readSized(width, metaSize) && in.readText(metaSize, h.metadata);
        } else if (ok) {
            h.metadata = indexed(table, metaIndex);
        }
        if (!ok) break;
        headers.push_back(std::move(h));
    }
    return headers;
}

std::vector<TimeSampling> parseTimeSamplings(std::span<const std::uint8_t> block) {
    std::vector<TimeSampling> samplings;
    ByteCursor in(block);
    while (!in.atEnd()) {
        TimeSampling t;
        std::uint32_t count;
        if (!in.read(t.maxSample) || !in.read(t.timePerCycle) || !in.read(count)) break;
        if (count > in.remaining() / sizeof(double)) break;
        t.times.resize(count);
        for (double& time : t.times) in.read(time);
        samplings.push_back(std::move(t));
    }
    return samplings;
}

} // namespace trimeo::alembic
