#include "CrateWriter.h"

#include <lz4.h>

#include <cmath>
#include <cstring>
#include <map>
#include <stdexcept>

namespace trimeo::test {
namespace {

using usd::Attribute;
using usd::Prim;
using usd::Stage;
using usd::Value;

constexpr std::uint64_t kArray = 1ull << 63, kInline = 1ull << 62, kCompressed = 1ull << 61;

std::uint64_t rep(unsigned type, std::uint64_t payload, std::uint64_t flags = 0) {
    return flags | (std::uint64_t(type) << 48) | payload;
}

template <class T> void put(std::vector<std::uint8_t>& out, T v) {
    const std::size_t at = out.size();
    out.resize(at + sizeof v);
    std::memcpy(out.data() + at, &v, sizeof v);
}

std::vector<std::uint8_t> lz4(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out(1 + LZ4_compressBound(int(raw.size())));
    out[0] = 0; // one block, no chunk table
    int n = LZ4_compress_default(reinterpret_cast<const char*>(raw.data()), reinterpret_cast<char*>(out.data() + 1),
                                 int(raw.size()), int(out.size() - 1));
    out.resize(1 + std::size_t(n));
    return out;
}

void putCompressedInts(std::vector<std::uint8_t>& out, const std::vector<std::uint32_t>& values) {
    const auto packed = lz4(encodeIntegers32(values));
    put<std::uint64_t>(out, packed.size());
    out.insert(out.end(), packed.begin(), packed.end());
}

// Crate type code and component count for a usda type name (without "[]").
struct TypeInfo {
    unsigned code;
    int components;
};
TypeInfo typeInfo(const std::string& name) {
    static const std::map<std::string, TypeInfo> table = {
        {"bool", {1, 1}},       {"int", {3, 1}},        {"float", {8, 1}},      {"double", {9, 1}},
        {"string", {10, 1}},    {"token", {11, 1}},     {"matrix4d", {15, 16}}, {"quatd", {16, 4}},
        {"quatf", {17, 4}},     {"float2", {20, 2}},    {"texCoord2f", {20, 2}}, {"double3", {23, 3}},
        {"point3d", {23, 3}},   {"float3", {24, 3}},    {"point3f", {24, 3}},   {"normal3f", {24, 3}},
        {"color3f", {24, 3}},   {"vector3f", {24, 3}},  {"half3", {25, 3}},     {"color3h", {25, 3}},
        {"half", {7, 1}},
    };
    auto it = table.find(name);
    if (it == table.end()) throw std::invalid_argument("CrateWriter cannot write " + name);
    return it->second;
}

std::uint16_t toHalf(double d) { // exact for the small values the tests use
    if (d == 0) return 0;
    int e;
    double m = std::frexp(std::abs(d), &e); // d = m * 2^e, m in [0.5, 1)
    auto mantissa = std::uint16_t(std::lround((m * 2 - 1) * 1024));
    auto exponent = std::uint16_t(e - 1 + 15);
    return std::uint16_t((d < 0 ? 0x8000 : 0) | (exponent << 10) | mantissa);
}

class Writer {
public:
    explicit Writer(const CrateWriteOptions& options) : options_(options) {
        bytes_.resize(88, 0);
        std::memcpy(bytes_.data(), "PXR-USDC", 8);
        bytes_[9] = options.minor;
        token(""); // index 0 cannot be negated, so no property may own it
    }

    std::vector<std::uint8_t> write(const Stage& stage) {
        // The walk: root, then each prim with its properties before its child prims.
        std::vector<Node> nodes;
        nodes.push_back({-1, 0, false, nullptr, nullptr, {}});
        for (const Prim& p : stage.rootPrims) addPrim(nodes, 0, p);
        fixJumps(nodes, 0);
        nodes[0].jump = nodes.size() > 1 ? -1 : -2;
        const std::size_t n = nodes.size();
        auto pathIndex = [n](std::size_t walk) { return std::uint32_t(n - 1 - walk); };

        std::vector<std::uint32_t> specPaths, specSets, specTypes;
        auto specEntry = [&](std::size_t walk, std::uint32_t type, const std::vector<std::uint64_t>& fieldIds) {
            specPaths.push_back(pathIndex(walk));
            specSets.push_back(std::uint32_t(fieldSets_.size()));
            specTypes.push_back(type);
            for (auto f : fieldIds) fieldSets_.push_back(std::uint32_t(f));
            fieldSets_.push_back(0xffffffffu);
        };
        specEntry(0, 7, {field("upAxis", rep(11, token(stage.upAxis), kInline)),
                    field("primChildren", tokenVector(stage.rootPrims))});
        for (std::size_t i = 1; i < n; ++i) {
            const Node& node = nodes[i];
            if (node.prim) {
                std::vector<std::uint64_t> f{field("specifier", rep(42, std::uint64_t(node.prim->specifier), kInline))};
                if (!node.prim->typeName.empty()) f.push_back(field("typeName", rep(11, token(node.prim->typeName), kInline)));
                f.push_back(field("primChildren", tokenVector(node.prim->children)));
                specEntry(i, 6, f);
            } else {
                const Attribute& a = *node.attribute;
                std::vector<std::uint64_t> f{field("typeName", rep(11, token(a.typeName), kInline))};
                if (!a.interpolation.empty()) f.push_back(field("interpolation", rep(11, token(a.interpolation), kInline)));
                if (options_.sampled.count(node.name)) f.push_back(field("timeSamples", samples(a)));
                else f.push_back(field("default", value(a)));
                specEntry(i, 1, f);
            }
        }

        std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> sections;
        auto section = [&](const char* name, const std::vector<std::uint8_t>& body) {
            sections[name] = {bytes_.size(), body.size()};
            bytes_.insert(bytes_.end(), body.begin(), body.end());
        };
        std::vector<std::uint8_t> s;
        // PATHS and SPECS first: they add no tokens, but need every token to be known.
        std::vector<std::uint32_t> pathIndexes, elements, jumps;
        for (std::size_t i = 0; i < n; ++i) {
            pathIndexes.push_back(pathIndex(i));
            elements.push_back(std::uint32_t(nodes[i].isProperty ? -std::int64_t(nodes[i].token) : nodes[i].token));
            jumps.push_back(std::uint32_t(nodes[i].jump));
        }
        put<std::uint64_t>(s, n);
        put<std::uint64_t>(s, n);
        putCompressedInts(s, pathIndexes);
        putCompressedInts(s, elements);
        putCompressedInts(s, jumps);
        section("PATHS", s);
        s.clear();
        put<std::uint64_t>(s, specPaths.size());
        putCompressedInts(s, specPaths);
        putCompressedInts(s, specSets);
        putCompressedInts(s, specTypes);
        section("SPECS", s);

        s.clear();
        std::vector<std::uint8_t> text;
        for (const std::string& t : tokens_) text.insert(text.end(), t.c_str(), t.c_str() + t.size() + 1);
        const auto packed = lz4(text);
        put<std::uint64_t>(s, tokens_.size());
        put<std::uint64_t>(s, text.size());
        put<std::uint64_t>(s, packed.size());
        s.insert(s.end(), packed.begin(), packed.end());
        section("TOKENS", s);
        s.clear();
        put<std::uint64_t>(s, strings_.size());
        for (auto t : strings_) put<std::uint32_t>(s, t);
        section("STRINGS", s);
        s.clear();
        put<std::uint64_t>(s, fieldTokens_.size());
        putCompressedInts(s, fieldTokens_);
        std::vector<std::uint8_t> reps;
        for (auto r : fieldReps_) put<std::uint64_t>(reps, r);
        const auto packedReps = lz4(reps);
        put<std::uint64_t>(s, packedReps.size());
        s.insert(s.end(), packedReps.begin(), packedReps.end());
        section("FIELDS", s);
        s.clear();
        put<std::uint64_t>(s, fieldSets_.size());
        putCompressedInts(s, fieldSets_);
        section("FIELDSETS", s);

        const std::uint64_t toc = bytes_.size();
        put<std::uint64_t>(bytes_, sections.size());
        for (const auto& [name, where] : sections) {
            char padded[16] = {};
            std::memcpy(padded, name.data(), name.size());
            bytes_.insert(bytes_.end(), padded, padded + 16);
            put<std::uint64_t>(bytes_, where.first);
            put<std::uint64_t>(bytes_, where.second);
        }
        std::memcpy(bytes_.data() + 16, &toc, 8);
        return bytes_;
    }

private:
    struct Node {
        std::int64_t parent;
        std::uint32_t token;
        bool isProperty;
        const Prim* prim;
        const Attribute* attribute;
        std::string name;
        std::int64_t jump = -2;
    };

    void addPrim(std::vector<Node>& nodes, std::size_t parent, const Prim& p) {
        // Children of one parent: properties, then prims; the jump tells the reader which follow.
        const std::size_t self = nodes.size();
        nodes.push_back({std::int64_t(parent), token(p.name), false, &p, nullptr, p.name});
        for (const auto& [name, attr] : p.attributes)
            nodes.push_back({std::int64_t(self), token(name), true, nullptr, &attr, name});
        for (const Prim& c : p.children) addPrim(nodes, self, c);
        fixJumps(nodes, self);
    }

    // Called once a prim's subtree is complete: sets the jumps of its direct children.
    void fixJumps(std::vector<Node>& nodes, std::size_t self) {
        std::vector<std::size_t> kids;
        for (std::size_t i = self + 1; i < nodes.size(); ++i)
            if (nodes[i].parent == std::int64_t(self)) kids.push_back(i);
        for (std::size_t k = 0; k < kids.size(); ++k) {
            const bool hasChild = kids[k] + 1 < nodes.size() && nodes[kids[k] + 1].parent == std::int64_t(kids[k]);
            const bool hasSibling = k + 1 < kids.size();
            nodes[kids[k]].jump = hasChild && hasSibling ? std::int64_t(kids[k + 1] - kids[k])
                                  : hasChild             ? -1
                                  : hasSibling           ? 0
                                                         : -2;
        }
    }

    std::uint32_t token(const std::string& t) {
        auto [it, added] = tokenIds_.emplace(t, std::uint32_t(tokens_.size()));
        if (added) tokens_.push_back(t);
        return it->second;
    }

    std::uint64_t field(const std::string& name, std::uint64_t valueRep) {
        fieldTokens_.push_back(token(name));
        fieldReps_.push_back(valueRep);
        return fieldReps_.size() - 1;
    }

    std::uint64_t tokenVector(const std::vector<Prim>& prims) {
        const std::uint64_t at = bytes_.size();
        put<std::uint64_t>(bytes_, prims.size());
        for (const Prim& p : prims) put<std::uint32_t>(bytes_, token(p.name));
        return rep(41, at);
    }

    std::uint64_t samples(const Attribute& a) {
        Attribute zeros = a;
        for (double& d : zeros.value.numbers) d = 0;
        const std::uint64_t first = value(a), second = value(zeros);
        const std::uint64_t times = bytes_.size();
        put<std::uint64_t>(bytes_, 2);
        put<double>(bytes_, 0.0);
        put<double>(bytes_, 1.0);
        const std::uint64_t at = bytes_.size();
        put<std::int64_t>(bytes_, 8);
        put<std::uint64_t>(bytes_, rep(48, times));
        put<std::int64_t>(bytes_, 8);
        put<std::uint64_t>(bytes_, 2);
        put<std::uint64_t>(bytes_, first);
        put<std::uint64_t>(bytes_, second);
        return rep(46, at);
    }

    void putScalar(unsigned code, double d) {
        switch (code) {
        case 1: put<std::uint8_t>(bytes_, d != 0); break;
        case 3: put<std::int32_t>(bytes_, std::int32_t(d)); break;
        case 7:
        case 25: put<std::uint16_t>(bytes_, toHalf(d)); break;
        case 8:
        case 17:
        case 20:
        case 24: put<float>(bytes_, float(d)); break;
        default: put<double>(bytes_, d); break;
        }
    }

    void putElement(unsigned code, const double* n, int components) {
        if (code == 16 || code == 17) { // quaternions: imaginary part first in memory
            for (int c = 1; c < 4; ++c) putScalar(code, n[c]);
            putScalar(code, n[0]);
            return;
        }
        for (int c = 0; c < components; ++c) putScalar(code, n[c]);
    }

    static bool isSmallInteger(double d) { return d == std::floor(d) && d >= -128 && d <= 127; }

    std::uint64_t value(const Attribute& a) {
        const bool isArray = a.typeName.size() > 2 && a.typeName.ends_with("[]");
        const std::string base = isArray ? a.typeName.substr(0, a.typeName.size() - 2) : a.typeName;
        const TypeInfo t = typeInfo(base);
        const Value& v = a.value;
        if (t.code == 10 || t.code == 11) {
            auto id = [&](const std::string& s) -> std::uint32_t {
                if (t.code == 11) return token(s);
                strings_.push_back(token(s));
                return std::uint32_t(strings_.size() - 1);
            };
            if (!isArray) return rep(t.code, v.texts.empty() ? 0 : id(v.texts[0]), kInline);
            const std::uint64_t at = bytes_.size();
            putCount(v.texts.size());
            for (const std::string& s : v.texts) put<std::uint32_t>(bytes_, id(s));
            return rep(t.code, at, kArray);
        }
        const auto& n = v.numbers;
        if (!isArray) {
            if (int(n.size()) < t.components) throw std::invalid_argument("short value");
            if (t.components == 1 && (t.code == 1 || t.code == 3)) return rep(t.code, std::uint32_t(std::int32_t(n[0])), kInline);
            if (t.components == 1 && (t.code == 8 || (t.code == 9 && double(float(n[0])) == n[0]))) {
                float f = float(n[0]);
                std::uint32_t bits;
                std::memcpy(&bits, &f, 4);
                return rep(t.code, bits, kInline);
            }
            if ((t.code == 23 || t.code == 24) && isSmallInteger(n[0]) && isSmallInteger(n[1]) && isSmallInteger(n[2])) {
                std::uint64_t payload = 0;
                for (int c = 0; c < 3; ++c) payload |= std::uint64_t(std::uint8_t(std::int8_t(n[c]))) << (8 * c);
                return rep(t.code, payload, kInline);
            }
            if (t.code == 15) {
                bool diagonal = true;
                for (int i = 0; i < 16; ++i) diagonal = diagonal && (i % 5 == 0 ? isSmallInteger(n[i]) : n[i] == 0);
                if (diagonal) {
                    std::uint64_t payload = 0;
                    for (int r = 0; r < 4; ++r) payload |= std::uint64_t(std::uint8_t(std::int8_t(n[r * 5]))) << (8 * r);
                    return rep(t.code, payload, kInline);
                }
            }
            const std::uint64_t at = bytes_.size();
            putElement(t.code, n.data(), t.components);
            return rep(t.code, at);
        }
        const std::size_t count = n.size() / std::size_t(t.components);
        if (count == 0) return rep(t.code, 0, kArray);
        const std::uint64_t at = bytes_.size();
        putCount(count);
        // Int lists of four or more, and float lists, go compressed to exercise both codings.
        if (t.code == 3 && count >= 4) {
            std::vector<std::uint32_t> ints;
            for (double d : n) ints.push_back(std::uint32_t(std::int32_t(d)));
            putCompressedInts(bytes_, ints);
            return rep(t.code, at, kArray | kCompressed);
        }
        if (t.code == 8 && count >= 2) {
            bool integral = true;
            for (double d : n) integral = integral && d == std::floor(d) && std::abs(d) < 1e9;
            if (integral) {
                put<std::uint8_t>(bytes_, 'i');
                std::vector<std::uint32_t> ints;
                for (double d : n) ints.push_back(std::uint32_t(std::int32_t(d)));
                putCompressedInts(bytes_, ints);
            } else {
                put<std::uint8_t>(bytes_, 't');
                std::vector<float> table;
                std::vector<std::uint32_t> indexes;
                for (double d : n) {
                    std::size_t k = 0;
                    while (k < table.size() && table[k] != float(d)) ++k;
                    if (k == table.size()) table.push_back(float(d));
                    indexes.push_back(std::uint32_t(k));
                }
                put<std::uint32_t>(bytes_, std::uint32_t(table.size()));
                for (float f : table) put<float>(bytes_, f);
                putCompressedInts(bytes_, indexes);
            }
            return rep(t.code, at, kArray | kCompressed);
        }
        for (std::size_t i = 0; i < count; ++i) putElement(t.code, n.data() + i * std::size_t(t.components), t.components);
        return rep(t.code, at, kArray);
    }

    void putCount(std::size_t count) {
        if (options_.minor >= 7) put<std::uint64_t>(bytes_, count);
        else put<std::uint32_t>(bytes_, std::uint32_t(count));
    }

    CrateWriteOptions options_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::string> tokens_;
    std::map<std::string, std::uint32_t> tokenIds_;
    std::vector<std::uint32_t> strings_;
    std::vector<std::uint32_t> fieldTokens_;
    std::vector<std::uint64_t> fieldReps_;
    std::vector<std::uint32_t> fieldSets_;
};

} // namespace

std::vector<std::uint8_t> encodeIntegers32(const std::vector<std::uint32_t>& values) {
    std::map<std::int32_t, int> frequency;
    std::vector<std::int32_t> deltas;
    std::uint32_t previous = 0;
    for (std::uint32_t v : values) {
        deltas.push_back(std::int32_t(v - previous));
        previous = v;
        ++frequency[deltas.back()];
    }
    std::int32_t common = 0;
    int best = 0;
    for (auto [d, count] : frequency)
        if (count > best) common = d, best = count;
    std::vector<std::uint8_t> out;
    put<std::int32_t>(out, common);
    std::vector<std::uint8_t> codes((values.size() * 2 + 7) / 8, 0), data;
    for (std::size_t i = 0; i < deltas.size(); ++i) {
        const std::int32_t d = deltas[i];
        std::uint8_t code;
        if (d == common) code = 0;
        else if (d >= -128 && d <= 127) code = 1, put<std::int8_t>(data, std::int8_t(d));
        else if (d >= -32768 && d <= 32767) code = 2, put<std::int16_t>(data, std::int16_t(d));
        else code = 3, put<std::int32_t>(data, d);
        codes[i / 4] |= std::uint8_t(code << (2 * (i % 4)));
    }
    out.insert(out.end(), codes.begin(), codes.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<std::uint8_t> writeCrate(const Stage& stage, const CrateWriteOptions& options) {
    return Writer(options).write(stage);
}

} // namespace trimeo::test
