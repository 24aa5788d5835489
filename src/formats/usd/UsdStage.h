// The part of a USD layer the viewer draws, as both the text and the binary reader
// produce it: a tree of prims with their attributes' first values, relationships and
// composition arcs, and the layer's metadata. After composition the same types hold the
// flattened stage.
#pragma once

#include <map>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace trimeo::usd {

// An attribute value flattened to what the scene builder needs: every number (bools as
// 0/1, vectors and matrices row by row, quaternions as real then imaginary) in `numbers`,
// every token, string or asset path in `texts`.
struct Value {
    std::vector<double> numbers;
    std::vector<std::string> texts;
};

struct Attribute {
    std::string typeName;      // e.g. "point3f[]"; empty when the file did not say
    Value value;               // the default, or else the first time sample
    std::string interpolation; // the "interpolation" metadata, empty when absent
    std::vector<std::string> connections; // "inputs:x.connect" targets, e.g. "/Looks/Tex.outputs:rgb"
    // After composition: the layer whose opinion gave the value (its identity as the
    // composer's LayerFiles names it), so asset paths resolve where they were written.
    std::string layer;
};

enum class Specifier { def, over, klass };

// One composition arc: a layer (asset path as written, empty for the same layer) and a
// prim in it (empty for the layer's default prim).
struct Arc {
    std::string assetPath;
    std::string primPath;
    bool operator==(const Arc&) const = default;
};

struct Prim;

// The opinions one variant of a variant set adds to its prim.
struct Variant {
    std::map<std::string, Attribute> attributes;
    std::map<std::string, std::vector<std::string>> relationships;
    std::vector<Arc> references, payloads, inherits, specializes;
    std::vector<Prim> children;
};

// A variant's opinions as a parser reads them: the body of a prim, taken over whole.
// (Variant sets nested inside a variant are not kept.)
Variant variantFrom(Prim&& body);

struct Prim {
    std::string name;
    std::string typeName; // empty for untyped prims
    Specifier specifier = Specifier::def;
    std::map<std::string, Attribute> attributes;
    // Relationship name -> target paths, e.g. "material:binding" -> {"/Looks/Wood"},
    // "prototypes" -> {...}, "skel:skeleton" -> {...}.
    std::map<std::string, std::vector<std::string>> relationships;
    std::vector<Prim> children;

    // Composition metadata, as authored in this layer (list edits flattened: prepended,
    // appended and explicit items in order, deleted ones left out).
    std::vector<Arc> references, payloads, inherits, specializes;
    std::map<std::string, std::string> variantSelections;            // set -> chosen variant
    std::map<std::string, std::map<std::string, Variant>> variantSets; // set -> variant -> opinions
    std::optional<bool> active;       // "active = false" leaves the prim out
    std::optional<bool> instanceable;
    std::string kind;

    const Attribute* attribute(const std::string& key) const {
        auto it = attributes.find(key);
        return it == attributes.end() ? nullptr : &it->second;
    }
    const std::vector<std::string>* relationship(const std::string& key) const {
        auto it = relationships.find(key);
        return it == relationships.end() ? nullptr : &it->second;
    }

};

struct Stage {
    std::string upAxis = "Y";
    std::optional<double> metersPerUnit;
    std::string defaultPrim;
    std::vector<std::string> subLayers; // asset paths as written, strongest first
    std::vector<Prim> rootPrims;
};

inline Variant variantFrom(Prim&& body) {
    return {std::move(body.attributes), std::move(body.relationships), std::move(body.references),
            std::move(body.payloads),   std::move(body.inherits),      std::move(body.specializes),
            std::move(body.children)};
}

// Readers refuse nesting deeper than this rather than recursing without bound.
inline constexpr int kMaxNestingDepth = 200;

} // namespace trimeo::usd
