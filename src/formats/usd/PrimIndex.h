// The prims of a flattened stage by absolute path ("/World/Looks/Wood"), for the
// relationships and connections that name them. The stage must outlive the index.
#pragma once

#include "UsdStage.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace trimeo::usd {

class PrimIndex {
public:
    explicit PrimIndex(const Stage& stage);

    // The prim at `path`, or null. A property part (".outputs:rgb") is ignored.
    const Prim* find(std::string_view path) const;

private:
    void add(const Prim& prim, const std::string& parentPath, int depth);

    std::unordered_map<std::string, const Prim*> byPath_;
};

// "/A/B.outputs:rgb" -> "outputs:rgb"; empty when the path names no property.
std::string_view propertyOf(std::string_view path);

} // namespace trimeo::usd
