// How a composition arc maps prim and property paths of the layer stack it reaches into
// the namespace of the prim that authored it: "/Asset/Looks/Mat" read through a reference
// of "/Asset" from "/World/Chair" is "/World/Chair/Looks/Mat". Paths outside the arc's
// target map to nothing, as USD drops them.
#pragma once

#include <optional>
#include <string>

namespace trimeo::usd {

struct PathMap {
    std::string from = "/", to = "/"; // paths under `from` move under `to`; empty `from`: nothing maps

    std::optional<std::string> operator()(const std::string& path) const;
    // This map, then `outer`: what maps through both.
    PathMap then(const PathMap& outer) const;
};

} // namespace trimeo::usd
