#include "STLReader.h"

#include "formats/common/FileMapping.h"
#include "formats/common/MemoryBudget.h"
#include "formats/common/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace trimeo {
namespace {
using namespace scene;

constexpr std::size_t kHeader = 84, kFacet = 50;
// How far ahead of the ASCII parser its check for NUL bytes stays: more than a line.
constexpr std::size_t kTokenMargin = 4096;

std::span<const std::uint8_t> bytesOf(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

ReaderResult sceneOf(std::vector<std::pair<std::optional<std::string>, std::vector<float>>> solids) {
    ReaderResult read;
    read.scene = std::make_shared<Scene>();
    for (auto& [name, positions] : solids) {
        if (positions.empty()) continue;
        const std::size_t vertices = positions.size() / 3;
        auto node = Node::make(std::make_shared<Geometry>(
            std::vector<GeometrySource>{GeometrySource::vertices(std::move(positions))},
            std::vector<GeometryElement>{GeometryElement::sequential(vertices)}));
        node->name = std::move(name);
        read.scene->rootNode->addChildNode(std::move(node));
        ++read.count;
    }
    return read;
}

ReaderResult readBinary(std::span<const std::uint8_t> data, std::uint32_t facets) {
    requireMemory(std::uint64_t(facets) * 36); // positions; the corners need no index list
    std::vector<float> positions(std::size_t(facets) * 9);
    const std::uint8_t* p = data.data() + kHeader;
    // The file's pages go back as they are read, so that file and positions are not both
    // held whole.
    ReleaseBehind release(data);
    for (std::uint32_t f = 0; f < facets; ++f, p += kFacet) {
        std::memcpy(&positions[std::size_t(f) * 9], p + 12, 36);
        release.passed(std::size_t(p - data.data()) + kFacet);
    }
    // Not a braced list: its elements would be copied, and this one is the whole mesh.
    std::vector<std::pair<std::optional<std::string>, std::vector<float>>> solids;
    solids.emplace_back(std::nullopt, std::move(positions));
    return sceneOf(std::move(solids));
}

struct Text {
    std::string_view s;
    std::size_t at = 0;

    void skipSpace() {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\r' || s[at] == '\n')) ++at;
    }
    std::string_view word() {
        skipSpace();
        std::size_t start = at;
        while (at < s.size() && !(s[at] == ' ' || s[at] == '\t' || s[at] == '\r' || s[at] == '\n')) ++at;
        return s.substr(start, at - start);
    }
    std::string_view restOfLine() {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\t')) ++at;
        std::size_t start = at;
        while (at < s.size() && s[at] != '\n' && s[at] != '\r') ++at;
        return s.substr(start, at - start);
    }
    bool number(float& out) {
        skipSpace();
        const char* first = s.data() + at;
        const char* last = s.data() + s.size();
        auto [end, ec] = scanNumber(first, last, out);
        if (ec != std::errc()) return false;
        at = std::size_t(end - s.data());
        return true;
    }
};

// ASCII: "solid name" ... "facet normal" "outer loop" 3 × "vertex x y z" "endloop" "endfacet"
// ... "endsolid". Lenient like the common readers: only the vertex lines carry data.
std::optional<ReaderResult> readASCII(std::string_view s) {
    std::vector<std::pair<std::optional<std::string>, std::vector<float>>> solids;
    Text t{s};
    std::vector<float> corners;
    // The vertex lines of the first step, scaled to the whole text, let the (first) solid's
    // positions be allocated once, instead of growing by copies to up to twice their size: a
    // big file's peak memory. Text STL is regular enough for a small margin; reserving
    // touches no memory, and a file that holds more grows as before.
    const std::string_view first = s.substr(0, kReleaseStep);
    std::size_t expected = 0;
    for (std::size_t at = first.find("vertex"); at != std::string_view::npos; at = first.find("vertex", at + 6))
        ++expected;
    if (s.size() > first.size()) expected = std::size_t(double(expected) * double(s.size()) / double(first.size()) * 1.0625);
    // One pass: each step is checked for NUL just before it is parsed (text holds none: a
    // file that does is no ASCII STL, but maybe a binary one beginning with "solid"), and a
    // mapped file's pages are given back behind it, so the text is never held whole.
    std::size_t checked = 0;
    ReleaseBehind release(bytesOf(s));
    auto startSolid = [&](std::optional<std::string> name) {
        solids.emplace_back(std::move(name), std::vector<float>{});
        if (solids.size() == 1) {
            requireMemory(std::uint64_t(expected / 3) * 36);
            solids.back().second.reserve(expected / 3 * 9);
        }
    };
    while (true) {
        if (t.at + kTokenMargin > checked && checked < s.size()) {
            if (s.substr(checked, kReleaseStep).find('\0') != std::string_view::npos) return std::nullopt;
            checked += kReleaseStep;
        }
        release.passed(t.at);
        std::string_view w = t.word();
        if (w.empty()) break;
        if (w == "solid") {
            std::string_view name = t.restOfLine();
            startSolid(name.empty() ? std::nullopt : std::optional<std::string>(name));
            corners.clear();
        } else if (w == "vertex") {
            float v[3];
            if (!t.number(v[0]) || !t.number(v[1]) || !t.number(v[2])) return std::nullopt;
            if (solids.empty()) startSolid(std::nullopt);
            corners.insert(corners.end(), v, v + 3);
            if (corners.size() == 9) {
                auto& out = solids.back().second;
                out.insert(out.end(), corners.begin(), corners.end());
                corners.clear();
            }
        } else if (w == "endfacet") {
            corners.clear(); // a facet with other than three vertices is dropped
        }
    }
    if (checked < s.size() && s.substr(checked).find('\0') != std::string_view::npos) return std::nullopt;
    return sceneOf(std::move(solids));
}

bool startsWithSolid(std::span<const std::uint8_t> data) {
    std::size_t i = 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n')) ++i;
    return data.size() - i >= 5 && std::memcmp(data.data() + i, "solid", 5) == 0;
}

} // namespace

std::optional<ReaderResult> readSTL(const ReaderInput& input) {
    const std::span<const std::uint8_t> data = input.bytes;
    if (data.size() >= kHeader) {
        std::uint32_t facets;
        std::memcpy(&facets, data.data() + 80, 4);
        // Binary files often begin with "solid" too: the exact size is what tells them apart.
        if (kHeader + std::uint64_t(facets) * kFacet == data.size()) return readBinary(data, facets);
    }
    const bool solid = startsWithSolid(data);
    if (solid) {
        std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
        return readASCII(text);
    }
    if (!solid && data.size() >= kHeader) {
        // Neither text nor a binary file of exactly its facets: decided here, in no time,
        // rather than after a copy of the whole file for the asset library, which reads the
        // declared facets when they fit and refuses the file when they do not.
        std::uint32_t facets;
        std::memcpy(&facets, data.data() + 80, 4);
        if (kHeader + std::uint64_t(facets) * kFacet > data.size())
            throw LoaderError::noGeometry("binary STL shorter than its facet count");
        return readBinary(data, facets);
    }
    return std::nullopt;
}

} // namespace trimeo
