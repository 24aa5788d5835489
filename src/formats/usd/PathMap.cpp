#include "PathMap.h"

namespace trimeo::usd {
namespace {

// Prim children follow a '/', properties a '.', variant selections a '{'.
bool isUnder(const std::string& path, const std::string& prefix) {
    if (prefix == "/" || path == prefix) return true;
    return path.size() > prefix.size() && path.starts_with(prefix) &&
           (path[prefix.size()] == '/' || path[prefix.size()] == '.' || path[prefix.size()] == '{');
}

// What follows `prefix` in `path` ("/B" of "/A/B" under "/A"; all of it under "/").
std::string restOf(const std::string& path, const std::string& prefix) {
    return prefix == "/" ? path : path.substr(prefix.size());
}

std::string joinPath(const std::string& prefix, const std::string& rest) {
    if (rest.empty() || rest == "/") return prefix;
    return prefix == "/" && rest.starts_with('/') ? rest : prefix + rest;
}

} // namespace

std::optional<std::string> PathMap::operator()(const std::string& path) const {
    if (from.empty() || !isUnder(path, from)) return std::nullopt;
    return joinPath(to, restOf(path, from));
}

PathMap PathMap::then(const PathMap& outer) const {
    if (from.empty() || outer.from.empty()) return {"", ""};
    if (isUnder(to, outer.from)) return {from, joinPath(outer.to, restOf(to, outer.from))};
    if (isUnder(outer.from, to)) return {joinPath(from, restOf(outer.from, to)), outer.to};
    return {"", ""};
}

} // namespace trimeo::usd
