#include "CrateSections.h"

#include "ByteCursor.h"
#include "CrateCompression.h"
#include "UsdStage.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace trimeo::usd {
namespace {

constexpr std::size_t kHeaderSize = 88;
constexpr std::uint32_t kEndOfSet = 0xffffffffu;

struct Section {
    std::uint64_t start = 0, size = 0;
};

std::span<const std::uint8_t> sectionBytes(std::span<const std::uint8_t> file, const std::optional<Section>& s,
                                           const char* name) {
    if (!s) throw UsdFormatError(std::string("no ") + name + " section");
    if (s->start > file.size() || s->size > file.size() - s->start) throw UsdFormatError(std::string(name) + " section outside the file");
    return file.subspan(std::size_t(s->start), std::size_t(s->size));
}

std::vector<std::string> readTokens(std::span<const std::uint8_t> section) {
    ByteCursor in(section);
    const auto count = in.read<std::uint64_t>();
    const auto unpackedSize = in.read<std::uint64_t>();
    const auto packedSize = in.read<std::uint64_t>();
    const auto text = decompressChunks(in.take(packedSize), std::size_t(std::min<std::uint64_t>(unpackedSize, kMaxUnpackedBytes)));
    // Every token ends in a zero byte, so the text bounds the count before anything is reserved.
    if (count > text.size()) throw UsdFormatError("more tokens than bytes");
    std::vector<std::string> tokens;
    tokens.reserve(std::size_t(count));
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size() && tokens.size() < count; ++i)
        if (text[i] == 0) {
            tokens.emplace_back(reinterpret_cast<const char*>(text.data() + start), i - start);
            start = i + 1;
        }
    if (tokens.size() != count) throw UsdFormatError("token table shorter than declared");
    return tokens;
}

std::vector<std::uint32_t> readStrings(std::span<const std::uint8_t> section, std::size_t tokenCount) {
    ByteCursor in(section);
    const auto count = in.read<std::uint64_t>();
    if (count > in.remaining() / 4) throw UsdFormatError("string table runs past its section");
    std::vector<std::uint32_t> strings(static_cast<std::size_t>(count));
    for (auto& s : strings)
        if ((s = in.read<std::uint32_t>()) >= tokenCount) throw UsdFormatError("string names no token");
    return strings;
}

std::vector<CrateField> readFields(std::span<const std::uint8_t> section, std::size_t tokenCount) {
    ByteCursor in(section);
    const auto count = in.read<std::uint64_t>();
    const auto names = readCompressedInts32(in, count);
    const auto repsSize = in.read<std::uint64_t>();
    if (count > kMaxUnpackedBytes / 8) throw UsdFormatError("too many fields");
    const auto reps = decompressChunks(in.take(repsSize), std::size_t(count * 8));
    if (reps.size() != count * 8) throw UsdFormatError("field values shorter than declared");
    std::vector<CrateField> fields(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (names[i] >= tokenCount) throw UsdFormatError("field names no token");
        fields[i].token = names[i];
        std::memcpy(&fields[i].valueRep, reps.data() + i * 8, 8);
    }
    return fields;
}

std::vector<std::uint32_t> readFieldSets(std::span<const std::uint8_t> section, std::size_t fieldCount) {
    ByteCursor in(section);
    auto sets = readCompressedInts32(in, in.read<std::uint64_t>());
    for (std::uint32_t f : sets)
        if (f != kEndOfSet && f >= fieldCount) throw UsdFormatError("field set names no field");
    return sets;
}

// Paths are stored as a depth-first walk: each entry's jump says whether a child follows
// (-1: only a child; >0: a child, and a sibling that many entries on), a sibling follows
// (0), or neither (-2). The walk is rebuilt with an explicit stack, so hostile nesting
// cannot exhaust ours.
std::vector<CratePath> readPaths(std::span<const std::uint8_t> section, std::size_t tokenCount) {
    ByteCursor in(section);
    const auto pathCount = in.read<std::uint64_t>();
    const auto encodedCount = in.read<std::uint64_t>();
    const auto pathIndexes = readCompressedInts32(in, encodedCount);
    const auto elementTokens = readCompressedInts32(in, encodedCount);
    const auto jumps = readCompressedInts32(in, encodedCount);
    if (pathCount > encodedCount) throw UsdFormatError("more paths than encoded");
    std::vector<CratePath> paths(static_cast<std::size_t>(pathCount));
    std::vector<bool> seen(paths.size());
    struct Pending {
        std::size_t index;
        std::int64_t parent;
    };
    std::vector<Pending> stack;
    if (encodedCount > 0) stack.push_back({0, -1});
    std::size_t visited = 0;
    while (!stack.empty()) {
        auto [index, parent] = stack.back();
        stack.pop_back();
        for (;;) {
            if (index >= encodedCount || ++visited > encodedCount) throw UsdFormatError("path walk leaves the table");
            const std::uint32_t target = pathIndexes[index];
            if (target >= paths.size() || seen[target]) throw UsdFormatError("path index repeated or out of range");
            seen[target] = true;
            CratePath& p = paths[target];
            p.parent = parent;
            if (parent >= 0) {
                const auto token = static_cast<std::int32_t>(elementTokens[index]);
                p.isProperty = token < 0;
                p.token = token < 0 ? std::uint32_t(-std::int64_t(token)) : std::uint32_t(token);
                if (p.token >= tokenCount) throw UsdFormatError("path element names no token");
                p.depth = paths[std::size_t(parent)].depth + 1;
                if (p.depth > kMaxNestingDepth) throw UsdFormatError("paths nest too deep");
            }
            const auto jump = static_cast<std::int32_t>(jumps[index]);
            const bool hasChild = jump > 0 || jump == -1;
            const bool hasSibling = jump >= 0;
            if (hasChild && hasSibling) stack.push_back({index + std::size_t(jump), parent});
            if (hasChild) {
                parent = target;
                ++index;
            } else if (hasSibling) {
                ++index;
            } else {
                break;
            }
        }
    }
    return paths;
}

std::vector<CrateEntry> readEntries(std::span<const std::uint8_t> section, const CrateLayout& layout) {
    ByteCursor in(section);
    const auto count = in.read<std::uint64_t>();
    const auto paths = readCompressedInts32(in, count);
    const auto sets = readCompressedInts32(in, count);
    const auto types = readCompressedInts32(in, count);
    std::vector<CrateEntry> entries(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (paths[i] >= layout.paths.size() || sets[i] >= layout.fieldSets.size())
            throw UsdFormatError("an entry names no path or field set");
        entries[i] = {paths[i], sets[i], types[i]};
    }
    return entries;
}

} // namespace

std::vector<const CrateField*> CrateLayout::fieldsOf(std::uint32_t fieldSet) const {
    std::vector<const CrateField*> out;
    for (std::size_t i = fieldSet; i < fieldSets.size() && fieldSets[i] != kEndOfSet; ++i)
        out.push_back(&fields[fieldSets[i]]);
    return out;
}

std::string CrateLayout::pathText(std::uint64_t index) const {
    if (index >= paths.size()) throw UsdFormatError("path index out of range");
    // Parents come first in the walk and paths nest at most kMaxNestingDepth deep.
    std::vector<const CratePath*> chain;
    for (const CratePath* p = &paths[std::size_t(index)]; p->parent >= 0; p = &paths[std::size_t(p->parent)])
        chain.push_back(p);
    std::string text;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const std::string& element = tokens[(*it)->token];
        if ((*it)->isProperty) text += '.';
        else if (!element.starts_with('{') && !text.ends_with('}')) text += '/';
        text += element;
    }
    return text.empty() ? "/" : text;
}

CrateLayout readCrateLayout(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), "PXR-USDC", 8) != 0)
        throw UsdFormatError("not a crate file");
    CrateLayout layout;
    layout.bytes = bytes;
    layout.major = bytes[8];
    layout.minor = bytes[9];
    layout.patch = bytes[10];
    // Before 0.4.0 the tables were stored uncompressed; such files predate any current tool.
    if (layout.major != 0 || layout.minor < 4) throw UsdFormatError("unsupported crate version");

    ByteCursor toc(bytes, 16);
    toc.seek(toc.read<std::uint64_t>());
    const auto sectionCount = toc.read<std::uint64_t>();
    if (sectionCount > toc.remaining() / 32) throw UsdFormatError("table of contents runs past the end");
    std::optional<Section> tokens, strings, fields, fieldSets, paths, entries;
    for (std::uint64_t i = 0; i < sectionCount; ++i) {
        const auto name = toc.take(16);
        Section s{toc.read<std::uint64_t>(), toc.read<std::uint64_t>()};
        const std::string_view n(reinterpret_cast<const char*>(name.data()), strnlen(reinterpret_cast<const char*>(name.data()), 16));
        if (n == "TOKENS") tokens = s;
        else if (n == "STRINGS") strings = s;
        else if (n == "FIELDS") fields = s;
        else if (n == "FIELDSETS") fieldSets = s;
        else if (n == "PATHS") paths = s;
        else if (n == "SPECS") entries = s;
    }
    layout.tokens = readTokens(sectionBytes(bytes, tokens, "TOKENS"));
    layout.strings = readStrings(sectionBytes(bytes, strings, "STRINGS"), layout.tokens.size());
    layout.fields = readFields(sectionBytes(bytes, fields, "FIELDS"), layout.tokens.size());
    layout.fieldSets = readFieldSets(sectionBytes(bytes, fieldSets, "FIELDSETS"), layout.fields.size());
    layout.paths = readPaths(sectionBytes(bytes, paths, "PATHS"), layout.tokens.size());
    layout.entries = readEntries(sectionBytes(bytes, entries, "SPECS"), layout);
    return layout;
}

} // namespace trimeo::usd
