#include "PrimIndex.h"

namespace trimeo::usd {

PrimIndex::PrimIndex(const Stage& stage) {
    for (const Prim& prim : stage.rootPrims) add(prim, "", 1);
}

void PrimIndex::add(const Prim& prim, const std::string& parentPath, int depth) {
    if (depth > kMaxNestingDepth) return;
    std::string path = parentPath + "/" + prim.name;
    for (const Prim& child : prim.children) add(child, path, depth + 1);
    byPath_.emplace(std::move(path), &prim);
}

static std::string_view primPart(std::string_view path) {
    const auto slash = path.rfind('/');
    const auto dot = path.find('.', slash == std::string_view::npos ? 0 : slash);
    return path.substr(0, dot);
}

std::string_view propertyOf(std::string_view path) {
    const std::string_view prim = primPart(path);
    return prim.size() < path.size() ? path.substr(prim.size() + 1) : std::string_view{};
}

const Prim* PrimIndex::find(std::string_view path) const {
    auto it = byPath_.find(std::string(primPart(path)));
    return it == byPath_.end() ? nullptr : it->second;
}

} // namespace trimeo::usd
