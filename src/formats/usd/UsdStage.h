// The part of a USD layer the viewer draws, as both the text and the binary reader
// produce it: a tree of prims with their attributes' first values, and the stage's up axis.
#pragma once

#include <map>
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
};

enum class Specifier { def, over, klass };

struct Prim {
    std::string name;
    std::string typeName; // empty for untyped prims
    Specifier specifier = Specifier::def;
    std::map<std::string, Attribute> attributes;
    std::vector<Prim> children;

    const Attribute* attribute(const std::string& key) const {
        auto it = attributes.find(key);
        return it == attributes.end() ? nullptr : &it->second;
    }
};

struct Stage {
    std::string upAxis = "Y";
    std::vector<Prim> rootPrims;
};

// Readers refuse nesting deeper than this rather than recursing without bound.
inline constexpr int kMaxNestingDepth = 200;

} // namespace trimeo::usd
