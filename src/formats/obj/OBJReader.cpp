#include "OBJReader.h"

#include "MaterialLibrary.h"

#include "formats/common/FileMapping.h"
#include "formats/common/MemoryBudget.h"
#include "formats/common/Numbers.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <cstring>
#include <string_view>

namespace trimeo {
namespace {
using namespace scene;

constexpr std::uint32_t kNone = 0xFFFFFFFF;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

struct Line {
    const char* p;
    const char* end;

    void skipSpace() {
        while (p < end && isSpace(*p)) ++p;
    }
    std::string_view word() {
        skipSpace();
        const char* start = p;
        while (p < end && !isSpace(*p)) ++p;
        return {start, std::size_t(p - start)};
    }
    // The rest of the line, surrounding white space removed.
    std::string_view rest() {
        skipSpace();
        const char* e = end;
        while (e > p && isSpace(e[-1])) --e;
        return {p, std::size_t(e - p)};
    }
    bool number(float& out) {
        skipSpace();
        auto [next, ec] = scanNumber(p, end, out);
        if (ec != std::errc()) return false;
        p = next;
        return true;
    }
    // One face corner "v", "v/vt", "v//vn" or "v/vt/vn"; indices turned 0-based, negatives
    // counted back from `counts`. kNone for an absent part, false for a malformed corner.
    bool corner(const std::size_t counts[3], std::uint32_t out[3]) {
        skipSpace();
        out[0] = out[1] = out[2] = kNone;
        for (int part = 0; part < 3; ++part) {
            if (p < end && *p == '/' && part > 0) {
                // empty part ("v//vn")
            } else if (p < end && !isSpace(*p)) {
                long long v = 0;
                auto [next, ec] = std::from_chars(p, end, v);
                if (ec != std::errc()) return false;
                p = next;
                long long index = v > 0 ? v - 1 : (long long)counts[part] + v;
                if (v == 0 || index < 0 || index >= (long long)counts[part]) return false;
                out[part] = std::uint32_t(index);
            }
            if (part < 2 && p < end && *p == '/') ++p;
            else break;
        }
        return out[0] != kNone;
    }
};

struct Group {
    std::optional<std::string> name;
    std::optional<std::string> material; // the usemtl in force
    // Per triangle corner its v alone while no corner has named a vt or vn (a third of the
    // memory for the many files without them), triples of (v, vt, vn) from the first that has.
    std::vector<std::uint32_t> corners;
    bool triples = false;

    std::size_t cornerCount() const { return triples ? corners.size() / 3 : corners.size(); }

    // From v alone to triples, in place; `mark` (a position in the list) moves with it.
    void widen(std::size_t& mark) {
        const std::size_t n = corners.size();
        corners.resize(n * 3, kNone);
        for (std::size_t i = n; i-- > 0;) { // from the back: nothing is overwritten before it is moved
            corners[i * 3] = corners[i];
            corners[i * 3 + 1] = corners[i * 3 + 2] = kNone;
        }
        mark *= 3;
        triples = true;
    }
};

class Builder {
public:
    std::vector<float> v, vt, vn;
    std::vector<Group> groups{1};
    std::vector<std::string> libraries; // mtllib arguments, in file order

    void start(std::string_view name) {
        if (!groups.back().corners.empty()) groups.push_back({{}, groups.back().material, {}});
        groups.back().name = name.empty() ? std::nullopt : std::optional<std::string>(std::string(name));
    }

    void useMaterial(std::string_view material) {
        if (groups.back().material == material) return; // files repeat it before every face
        if (!groups.back().corners.empty()) groups.push_back({groups.back().name, {}, {}});
        groups.back().material = std::string(material);
    }

    ReaderResult finish(RelatedFiles& related) {
        ReaderResult read;
        read.scene = std::make_shared<Scene>();
        const std::map<std::string, obj::MaterialDefinition> definitions = readLibraries(related);
        std::map<std::string, std::optional<Material>> materials; // each made once, by name
        std::vector<std::uint32_t> local(v.size() / 3, kNone);
        for (Group& g : groups) {
            if (g.corners.empty()) continue;
            Node::Ptr node = buildNode(g, local);
            if (g.material) {
                auto [it, first] = materials.try_emplace(*g.material);
                if (first)
                    if (auto d = definitions.find(*g.material); d != definitions.end())
                        it->second = obj::makeMaterial(*g.material, d->second, related);
                if (it->second) node->geometry->materials = {*it->second};
            }
            read.scene->rootNode->addChildNode(std::move(node));
            ++read.count;
        }
        return read;
    }

private:
    // A library that cannot be read leaves its materials undefined: their faces stay grey.
    std::map<std::string, obj::MaterialDefinition> readLibraries(RelatedFiles& related) const {
        std::map<std::string, obj::MaterialDefinition> definitions;
        std::string why;
        for (const std::string& names : libraries) {
            // One name with spaces, or several names separated by them.
            if (auto bytes = related.read(names, why)) {
                obj::readMaterialLibrary(**bytes, names, definitions);
                continue;
            }
            Line words{names.data(), names.data() + names.size()};
            for (std::string_view name = words.word(); !name.empty() && name.size() < names.size(); name = words.word())
                if (auto bytes = related.read(name, why)) obj::readMaterialLibrary(**bytes, std::string(name), definitions);
        }
        return definitions;
    }

    Node::Ptr buildNode(Group& g, std::vector<std::uint32_t>& local) {
        bool allNormals = g.triples, anyUV = false, anyAttribute = false;
        for (std::size_t i = 0; g.triples && i < g.corners.size(); i += 3) {
            allNormals &= g.corners[i + 2] != kNone;
            anyUV |= g.corners[i + 1] != kNone;
            anyAttribute |= g.corners[i + 1] != kNone || g.corners[i + 2] != kNone;
        }
        // Every list at its final size from the start (shared positions at most the file's).
        const std::size_t corners = g.cornerCount();
        std::vector<float> pos, nrm, uv;
        pos.reserve(anyAttribute ? corners * 3 : std::min(corners * 3, v.size()));
        GeometryElement element;
        std::vector<std::uint32_t> touched;
        if (!anyAttribute) {
            // Corners that carry only a position share vertices, and the corner list becomes
            // the index list in place: no second list of the mesh's size.
            if (g.triples) {
                for (std::size_t c = 0; c < corners; ++c) g.corners[c] = g.corners[c * 3];
                g.corners.resize(corners);
            }
            touched.reserve(std::min(corners, v.size() / 3));
            for (std::uint32_t& pi : g.corners) {
                if (local[pi] == kNone) {
                    local[pi] = std::uint32_t(pos.size() / 3);
                    touched.push_back(pi);
                    pos.insert(pos.end(), &v[pi * 3ull], &v[pi * 3ull] + 3);
                }
                pi = local[pi];
            }
            element.indices = std::move(g.corners);
        } else {
            // Others get their own.
            if (allNormals) nrm.reserve(corners * 3);
            if (anyUV) uv.reserve(corners * 2);
            element.indices.reserve(corners);
            for (std::size_t i = 0; i < g.corners.size(); i += 3) {
                const std::uint32_t pi = g.corners[i];
                element.indices.push_back(std::uint32_t(pos.size() / 3));
                pos.insert(pos.end(), &v[pi * 3ull], &v[pi * 3ull] + 3);
                if (allNormals) nrm.insert(nrm.end(), &vn[g.corners[i + 2] * 3ull], &vn[g.corners[i + 2] * 3ull] + 3);
                if (anyUV) {
                    std::uint32_t t = g.corners[i + 1];
                    uv.push_back(t == kNone ? 0.f : vt[t * 2ull]);
                    uv.push_back(t == kNone ? 0.f : vt[t * 2ull + 1]);
                }
            }
        }
        for (std::uint32_t pi : touched) local[pi] = kNone;
        g.corners = {};
        std::vector<GeometrySource> sources{GeometrySource::vertices(std::move(pos))};
        if (allNormals && !nrm.empty()) sources.push_back(GeometrySource::normals(std::move(nrm)));
        if (anyUV) sources.push_back(GeometrySource::texcoords(std::move(uv)));
        auto node = Node::make(std::make_shared<Geometry>(std::move(sources),
                                                          std::vector<GeometryElement>{std::move(element)}));
        node->name = std::move(g.name);
        return node;
    }
};

void readVector(Line& line, std::vector<float>& out, int components) {
    float c[3] = {0, 0, 0};
    for (int i = 0; i < components; ++i)
        if (!line.number(c[i])) break; // missing components stay 0
    out.insert(out.end(), c, c + components);
}

void readFace(Line& line, Builder& b) {
    const std::size_t counts[3] = {b.v.size() / 3, b.vt.size() / 2, b.vn.size() / 3};
    std::uint32_t first[3], previous[3], current[3];
    int n = 0;
    Group& group = b.groups.back();
    std::vector<std::uint32_t>& out = group.corners;
    std::size_t mark = out.size();
    while (true) {
        line.skipSpace();
        if (line.p >= line.end) break;
        if (!line.corner(counts, current)) {
            out.resize(mark); // a face naming a vertex that does not exist is dropped whole
            return;
        }
        if (!group.triples && (current[1] != kNone || current[2] != kNone)) group.widen(mark);
        if (n == 0) std::copy(current, current + 3, first);
        if (n >= 2 && group.triples) {
            out.insert(out.end(), first, first + 3);
            out.insert(out.end(), previous, previous + 3);
            out.insert(out.end(), current, current + 3);
        } else if (n >= 2) {
            out.insert(out.end(), {first[0], previous[0], current[0]});
        }
        std::copy(current, current + 3, previous);
        ++n;
    }
}

// Counting the lines of each kind first lets the lists be allocated once at their size
// (faces taken for triangles) instead of growing by copies to up to twice that: a big
// file's peak memory. The counts cannot exceed the text's length over two.
void reserveFromLineCounts(std::span<const std::uint8_t> data, Builder& b) {
    if (data.size() < 3) return; // no line to count (and no pointer arithmetic on empty data)
    const char* start = reinterpret_cast<const char*>(data.data());
    const char* p = start;
    const char* end = p + data.size();
    std::size_t v = 0, vt = 0, vn = 0, f = 0;
    ReleaseBehind release(data);
    while (p + 2 < end) {
        if (p[0] == 'v') {
            v += p[1] == ' ';
            vt += p[1] == 't';
            vn += p[1] == 'n';
        }
        f += p[0] == 'f' && p[1] == ' ';
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!eol) break;
        p = eol + 1;
        release.passed(std::size_t(p - start));
    }
    releaseFileBytes(data);
    requireMemory((std::uint64_t(v) * 3 + vt * 2 + vn * 3 + f * 3) * 4);
    b.v.reserve(v * 3);
    b.vt.reserve(vt * 2);
    b.vn.reserve(vn * 3);
    b.groups.back().corners.reserve(f * 3); // v alone, until a corner names more
}

} // namespace

std::optional<ReaderResult> readOBJ(const ReaderInput& input) {
    const std::span<const std::uint8_t> data = input.bytes;
    Builder b;
    reserveFromLineCounts(data, b);
    const char* p = reinterpret_cast<const char*>(data.data());
    const char* const start = p;
    const char* end = p + data.size();
    // A mapped file's pages are given back behind the reader: text and mesh are not both
    // held whole.
    ReleaseBehind release(data);
    while (p < end) {
        release.passed(std::size_t(p - start));
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!eol) eol = end;
        Line line{p, eol};
        std::string_view w = line.word();
        if (w == "v") readVector(line, b.v, 3);
        else if (w == "f") readFace(line, b);
        else if (w == "vn") readVector(line, b.vn, 3);
        else if (w == "vt") readVector(line, b.vt, 2);
        else if (w == "o" || w == "g") b.start(line.rest());
        else if (w == "usemtl") b.useMaterial(line.rest());
        else if (w == "mtllib" && !line.rest().empty()) b.libraries.emplace_back(line.rest());
        p = eol + 1;
    }
    return b.finish(input.related);
}

} // namespace trimeo
