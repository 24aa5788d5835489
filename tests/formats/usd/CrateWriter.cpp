#include "CrateWriter.h"

#include <lz4.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <type_traits>

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
        // Every path the file names, as a tree: prims with their properties and variants,
        // and the targets of arcs, relationships and connections.
        PathNode root;
        for (const Prim& p : stage.rootPrims) addPrim(root.child(p.name, false), p);
        for (const Prim& p : stage.rootPrims) addTargets(root, p);
        // The walk: root, then each node with its properties before its other children.
        std::vector<Node> nodes;
        nodes.push_back({-1, 0, false, &root});
        walk(nodes, 0, root, "");
        nodes[0].jump = nodes.size() > 1 ? -1 : -2;
        const std::size_t n = nodes.size();
        auto pathIndex = [n](std::size_t walk) { return std::uint32_t(n - 1 - walk); };
        for (auto& [text, walkIndex] : walkOf_) pathIds_[text] = pathIndex(walkIndex);
        pathIds_[""] = pathIndex(0); // the empty path: no prim named

        std::vector<std::uint32_t> specPaths, specSets, specTypes;
        auto entry = [&](std::size_t walk, std::uint32_t type, const std::vector<std::uint64_t>& fieldIds) {
            specPaths.push_back(pathIndex(walk));
            specSets.push_back(std::uint32_t(fieldSets_.size()));
            specTypes.push_back(type);
            for (auto f : fieldIds) fieldSets_.push_back(std::uint32_t(f));
            fieldSets_.push_back(0xffffffffu);
        };
        std::vector<std::uint64_t> rootFields{field("upAxis", rep(11, token(stage.upAxis), kInline)),
                                              field("primChildren", tokenVector(stage.rootPrims))};
        if (!stage.defaultPrim.empty()) rootFields.push_back(field("defaultPrim", rep(11, token(stage.defaultPrim), kInline)));
        if (stage.metersPerUnit) rootFields.push_back(field("metersPerUnit", value({"double", {{*stage.metersPerUnit}, {}}})));
        if (!stage.subLayers.empty()) rootFields.push_back(field("subLayers", stringVector(stage.subLayers)));
        entry(0, 7, rootFields);
        for (std::size_t i = 1; i < n; ++i) {
            const PathNode& node = *nodes[i].path;
            if (node.prim) {
                const Prim& p = *node.prim;
                std::vector<std::uint64_t> f{field("specifier", rep(42, std::uint64_t(p.specifier), kInline))};
                if (!p.typeName.empty()) f.push_back(field("typeName", rep(11, token(p.typeName), kInline)));
                f.push_back(field("primChildren", tokenVector(p.children)));
                arcFields(f, p.references, p.payloads, p.inherits, p.specializes);
                if (!p.variantSelections.empty()) f.push_back(field("variantSelection", selections(p.variantSelections)));
                if (p.active) f.push_back(field("active", rep(1, *p.active ? 1 : 0, kInline)));
                if (p.instanceable) f.push_back(field("instanceable", rep(1, *p.instanceable ? 1 : 0, kInline)));
                if (!p.kind.empty()) f.push_back(field("kind", rep(11, token(p.kind), kInline)));
                entry(i, 6, f);
            } else if (node.variant) {
                const usd::Variant& v = *node.variant;
                std::vector<std::uint64_t> f{field("primChildren", tokenVector(v.children))};
                arcFields(f, v.references, v.payloads, v.inherits, v.specializes);
                entry(i, 10, f);
            } else if (node.attribute) {
                const Attribute& a = *node.attribute;
                std::vector<std::uint64_t> f{field("typeName", rep(11, token(a.typeName), kInline))};
                if (!a.interpolation.empty()) f.push_back(field("interpolation", rep(11, token(a.interpolation), kInline)));
                if (!a.connections.empty()) f.push_back(field("connectionPaths", pathListOp(a.connections)));
                const bool hasValue = !a.value.numbers.empty() || !a.value.texts.empty();
                if (hasValue && options_.sampled.count(node.element)) f.push_back(field("timeSamples", samples(a)));
                else if (hasValue) f.push_back(field("default", value(a)));
                entry(i, 1, f);
            } else if (node.relationship) {
                entry(i, 8, {field("targetPaths", pathListOp(*node.relationship)),
                                 field("targetChildren", pathVector(*node.relationship))});
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
    // A path and what the file says at it.
    struct PathNode {
        std::string element; // a name, "{set=variant}" or a property name
        bool isProperty = false;
        const Prim* prim = nullptr;
        const usd::Variant* variant = nullptr;
        const Attribute* attribute = nullptr;
        const std::vector<std::string>* relationship = nullptr;
        std::vector<std::unique_ptr<PathNode>> children;

        PathNode& child(const std::string& e, bool property) {
            for (auto& c : children)
                if (c->element == e && c->isProperty == property) return *c;
            children.push_back(std::make_unique<PathNode>());
            children.back()->element = e;
            children.back()->isProperty = property;
            return *children.back();
        }
    };

    struct Node {
        std::int64_t parent;
        std::uint32_t token;
        bool isProperty;
        const PathNode* path;
        std::int64_t jump = -2;
    };

    template <class Owner> void addBody(PathNode& node, const Owner& o) {
        for (const auto& [name, attr] : o.attributes) node.child(name, true).attribute = &attr;
        for (const auto& [name, targets] : o.relationships) node.child(name, true).relationship = &targets;
        for (const Prim& c : o.children) addPrim(node.child(c.name, false), c);
    }

    void addPrim(PathNode& node, const Prim& p) {
        node.prim = &p;
        addBody(node, p);
        for (const auto& [set, variants] : p.variantSets)
            for (const auto& [name, v] : variants) {
                PathNode& vn = node.child("{" + set + "=" + name + "}", false);
                vn.variant = &v;
                addBody(vn, v);
            }
    }

    // "/A/B{set=v}C.prop" as a chain of nodes below the root.
    void ensurePath(PathNode& root, const std::string& path) {
        PathNode* at = &root;
        std::size_t i = 0;
        while (i < path.size()) {
            if (path[i] == '/') {
                ++i;
                continue;
            }
            if (path[i] == '.') {
                at->child(path.substr(i + 1), true);
                return;
            }
            std::size_t end = path[i] == '{' ? path.find('}', i) + 1 : path.find_first_of("/{.", i);
            if (end == std::string::npos || end == 0) end = path.size();
            at = &at->child(path.substr(i, end - i), false);
            i = end;
        }
    }

    template <class Owner> void addTargets(PathNode& root, const Owner& o) {
        for (const auto* arcs : {&o.references, &o.payloads, &o.inherits, &o.specializes})
            for (const usd::Arc& a : *arcs)
                if (!a.primPath.empty()) ensurePath(root, a.primPath);
        for (const auto& [name, targets] : o.relationships)
            for (const std::string& t : targets) ensurePath(root, t);
        for (const auto& [name, attr] : o.attributes)
            for (const std::string& t : attr.connections) ensurePath(root, t);
        for (const Prim& c : o.children) addTargets(root, c);
        if constexpr (std::is_same_v<Owner, Prim>)
            for (const auto& [set, variants] : o.variantSets)
                for (const auto& [name, v] : variants) addTargets(root, v);
    }

    void walk(std::vector<Node>& nodes, std::size_t self, const PathNode& node, const std::string& text) {
        // Children of one parent: properties, then the rest; the jump tells the reader which follow.
        for (bool properties : {true, false})
            for (const auto& c : node.children) {
                if (c->isProperty != properties) continue;
                std::string childText = text;
                if (c->isProperty) childText += '.';
                else if (!c->element.starts_with('{') && !text.ends_with('}')) childText += '/';
                childText += c->element;
                const std::size_t index = nodes.size();
                nodes.push_back({std::int64_t(self), token(c->element), c->isProperty, c.get()});
                walkOf_[childText] = index;
                walk(nodes, index, *c, childText);
            }
        fixJumps(nodes, self);
    }

    // Called once a node's subtree is complete: sets the jumps of its direct children.
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

    std::uint32_t stringId(const std::string& s) {
        strings_.push_back(token(s));
        return std::uint32_t(strings_.size() - 1);
    }
    std::uint32_t pathId(const std::string& path) { return pathIds_.at(path); }

    // List op header bits.
    static constexpr std::uint8_t kIsExplicit = 1 << 0, kExplicitItems = 1 << 1, kPrependedItems = 1 << 5;

    void arcFields(std::vector<std::uint64_t>& f, const std::vector<usd::Arc>& references,
                   const std::vector<usd::Arc>& payloads, const std::vector<usd::Arc>& inherits,
                   const std::vector<usd::Arc>& specializes) {
        // References and payloads as "prepend" edits, the inherits and specializes explicit,
        // as tools commonly write them.
        if (!references.empty()) {
            const std::uint64_t at = bytes_.size();
            put<std::uint8_t>(bytes_, kPrependedItems);
            put<std::uint64_t>(bytes_, references.size());
            for (const usd::Arc& a : references) {
                put<std::uint32_t>(bytes_, stringId(a.assetPath));
                put<std::uint32_t>(bytes_, pathId(a.primPath));
                put<double>(bytes_, 0.0); // layer offset
                put<double>(bytes_, 1.0); // and scale
                put<std::uint64_t>(bytes_, 0); // no custom data
            }
            f.push_back(field("references", rep(35, at)));
        }
        if (!payloads.empty()) {
            const std::uint64_t at = bytes_.size();
            put<std::uint8_t>(bytes_, kPrependedItems);
            put<std::uint64_t>(bytes_, payloads.size());
            for (const usd::Arc& a : payloads) {
                put<std::uint32_t>(bytes_, stringId(a.assetPath));
                put<std::uint32_t>(bytes_, pathId(a.primPath));
                if (options_.minor >= 8) {
                    put<double>(bytes_, 0.0);
                    put<double>(bytes_, 1.0);
                }
            }
            f.push_back(field("payload", rep(55, at)));
        }
        std::vector<std::string> paths;
        for (const auto& a : inherits) paths.push_back(a.primPath);
        if (!paths.empty()) f.push_back(field("inheritPaths", pathListOp(paths)));
        paths.clear();
        for (const auto& a : specializes) paths.push_back(a.primPath);
        if (!paths.empty()) f.push_back(field("specializes", pathListOp(paths)));
    }

    std::uint64_t pathListOp(const std::vector<std::string>& paths) {
        const std::uint64_t at = bytes_.size();
        put<std::uint8_t>(bytes_, kIsExplicit | kExplicitItems);
        put<std::uint64_t>(bytes_, paths.size());
        for (const std::string& p : paths) put<std::uint32_t>(bytes_, pathId(p));
        return rep(34, at);
    }

    std::uint64_t pathVector(const std::vector<std::string>& paths) {
        const std::uint64_t at = bytes_.size();
        put<std::uint64_t>(bytes_, paths.size());
        for (const std::string& p : paths) put<std::uint32_t>(bytes_, pathId(p));
        return rep(40, at);
    }

    std::uint64_t stringVector(const std::vector<std::string>& texts) {
        const std::uint64_t at = bytes_.size();
        put<std::uint64_t>(bytes_, texts.size());
        for (const std::string& t : texts) put<std::uint32_t>(bytes_, stringId(t));
        return rep(50, at);
    }

    std::uint64_t selections(const std::map<std::string, std::string>& chosen) {
        const std::uint64_t at = bytes_.size();
        put<std::uint64_t>(bytes_, chosen.size());
        for (const auto& [set, variant] : chosen) {
            put<std::uint32_t>(bytes_, stringId(set));
            put<std::uint32_t>(bytes_, stringId(variant));
        }
        return rep(45, at);
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
    std::map<std::string, std::size_t> walkOf_;        // path text -> walk position
    std::map<std::string, std::uint32_t> pathIds_;     // path text -> path index
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
