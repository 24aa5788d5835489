#include "StageScene.h"

#include "MeshGeometry.h"
#include "XformOps.h"

#include <numbers>

namespace trimeo::usd {
namespace {

bool isGroup(const std::string& type) {
    return type.empty() || type == "Xform" || type == "Scope" || type == "SkelRoot";
}

scene::Node::Ptr node(const Prim& prim, std::size_t& meshCount, int depth) {
    if (prim.specifier == Specifier::klass || depth > kMaxNestingDepth) return nullptr;
    const bool isMesh = prim.typeName == "Mesh";
    if (!isMesh && !isGroup(prim.typeName)) return nullptr;
    auto n = scene::Node::make();
    n->name = prim.name;
    const Decomposed d = decompose(localTransform(prim));
    n->position = d.translation;
    n->orientation = d.rotation;
    n->scale = d.scale;
    if (isMesh && (n->geometry = meshGeometry(prim))) ++meshCount;
    for (const Prim& child : prim.children)
        if (auto c = node(child, meshCount, depth + 1)) n->addChildNode(std::move(c));
    return n;
}

} // namespace

StageScene buildScene(const Stage& stage) {
    StageScene out;
    out.scene = std::make_shared<scene::Scene>();
    // Z up to Y up: a quarter turn about X taking +Z to +Y, applied outside each top-level prim.
    const bool zUp = stage.upAxis == "Z";
    const auto toYUp = scene::Quaternion::fromAxisAngle({1, 0, 0}, -std::numbers::pi / 2);
    for (const Prim& prim : stage.rootPrims) {
        auto n = node(prim, out.meshCount, 1);
        if (!n) continue;
        if (zUp) {
            n->position = toYUp.rotate(n->position);
            n->orientation = (toYUp * n->orientation).normalized();
        }
        out.scene->rootNode->addChildNode(std::move(n));
    }
    return out;
}

} // namespace trimeo::usd
