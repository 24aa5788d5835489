#include "StageScene.h"

#include "MeshGeometry.h"
#include "PrimIndex.h"
#include "Shapes.h"
#include "XformOps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>

namespace trimeo::usd {
namespace {

bool isGroup(const std::string& type) {
    return type.empty() || type == "Xform" || type == "Scope" || type == "SkelRoot";
}

std::string firstText(const Prim& prim, const char* name) {
    const Attribute* a = prim.attribute(name);
    return a && !a->value.texts.empty() ? a->value.texts[0] : std::string{};
}

const std::vector<double>& numbers(const Prim& prim, const char* name) {
    static const std::vector<double> none;
    const Attribute* a = prim.attribute(name);
    return a ? a->value.numbers : none;
}

// What a prim takes from above it.
struct Context {
    const Look* look = nullptr;
    std::string instance; // key of the instance or prototype being built; empty outside one
    std::string within;   // the prim's path below that instance's root
};

// Instanceable prims whose prims below are the same share a prototype: a hash of what lies
// below the instance's root (its own transform and name left out, as they place the copy).
class PrototypeHash {
public:
    std::uint64_t below(const Prim& root) {
        for (const Prim& child : root.children) prim(child, 1);
        return h_;
    }

private:
    void bytes(const void* data, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) h_ = (h_ ^ p[i]) * 0x100000001b3ULL;
    }
    void text(const std::string& s) {
        const std::size_t n = s.size();
        bytes(&n, sizeof n);
        bytes(s.data(), n);
    }
    void texts(const std::vector<std::string>& list) {
        const std::size_t n = list.size();
        bytes(&n, sizeof n);
        for (const std::string& s : list) text(s);
    }
    void prim(const Prim& p, int depth) {
        if (depth > kMaxNestingDepth) return;
        text(p.name);
        text(p.typeName);
        const int flags[] = {int(p.specifier), p.active ? int(*p.active) : -1, p.instanceable ? int(*p.instanceable) : -1};
        bytes(flags, sizeof flags);
        for (const auto& [name, a] : p.attributes) {
            text(name);
            text(a.typeName);
            text(a.interpolation);
            const std::size_t n = a.value.numbers.size();
            bytes(&n, sizeof n);
            bytes(a.value.numbers.data(), n * sizeof(double));
            texts(a.value.texts);
            texts(a.connections);
            text(a.layer);
        }
        for (const auto& [name, targets] : p.relationships) {
            text(name);
            texts(targets);
        }
        const std::size_t n = p.children.size();
        bytes(&n, sizeof n);
        for (const Prim& child : p.children) prim(child, depth + 1);
    }

    std::uint64_t h_ = 0xcbf29ce484222325ULL;
};

class Builder {
public:
    Builder(const Stage& stage, TextureReader textures) : index_(stage), looks_(index_, std::move(textures)) {}

    scene::Node::Ptr node(const Prim& prim, Context ctx, int depth) {
        if (prim.specifier == Specifier::klass || depth > kMaxNestingDepth) return nullptr;
        if (firstText(prim, "visibility") == "invisible") return nullptr;
        const std::string purpose = firstText(prim, "purpose");
        if (purpose == "proxy" || purpose == "guide") return nullptr;
        const std::string& type = prim.typeName;
        const bool mesh = type == "Mesh", shape = isShape(type), instancer = type == "PointInstancer";
        if (!mesh && !shape && !instancer && !isGroup(type)) return nullptr;
        if (nodes_ >= kMaxNodes) {
            ++leftOut_;
            return nullptr;
        }
        ++nodes_;

        if (const Look* own = looks_.boundTo(prim)) ctx.look = own;
        if (!ctx.instance.empty()) ctx.within += "/" + prim.name;
        if (prim.instanceable == true && !prim.children.empty()) {
            ctx.instance = "instance:" + std::to_string(PrototypeHash().below(prim)) + "|" +
                           std::to_string(reinterpret_cast<std::uintptr_t>(ctx.look));
            ctx.within.clear();
        }

        auto n = scene::Node::make();
        n->name = prim.name;
        // A skinned mesh is placed by its skeleton, not its own transform.
        if (!(mesh && prim.attribute("primvars:skel:jointIndices"))) {
            const Decomposed d = decompose(localTransform(prim));
            n->position = d.translation;
            n->orientation = d.rotation;
            n->scale = d.scale;
        }
        if (mesh || shape) {
            n->geometry = geometry(prim, ctx, mesh);
            if (n->geometry) ++meshCount_;
        }
        if (instancer) {
            place(*n, prim, ctx, depth);
            return n;
        }
        for (const Prim& child : prim.children)
            if (auto c = node(child, ctx, depth + 1)) n->addChildNode(std::move(c));
        return n;
    }

    std::size_t meshCount() const { return meshCount_; }
    std::size_t leftOut() const { return leftOut_; }

private:
    std::shared_ptr<scene::Geometry> geometry(const Prim& prim, const Context& ctx, bool mesh) {
        const std::string key = ctx.instance.empty() ? std::string{} : ctx.instance + ctx.within;
        if (!key.empty())
            if (auto it = shared_.find(key); it != shared_.end()) return it->second;
        std::shared_ptr<scene::Geometry> g;
        if (mesh) {
            g = meshGeometry(prim, {ctx.look, [this](const Prim& p) { return looks_.boundTo(p); }});
        } else if ((g = shapeGeometry(prim))) {
            scene::Material m;
            if (ctx.look) m = ctx.look->material;
            else if (const auto& c = numbers(prim, "primvars:displayColor"); c.size() >= 3) {
                const auto& o = numbers(prim, "primvars:displayOpacity");
                m.diffuse.contents = scene::Color{float(c[0]), float(c[1]), float(c[2]), o.empty() ? 1.0f : float(o[0])};
            }
            const auto& sides = numbers(prim, "doubleSided");
            m.isDoubleSided = sides.empty() ? prim.typeName == "Plane" : sides[0] != 0;
            g->materials.push_back(std::move(m));
        }
        if (!key.empty()) shared_.emplace(key, g);
        return g;
    }

    // One child per instance: the instance's placement around a copy of its prototype.
    void place(scene::Node& parent, const Prim& instancer, const Context& ctx, int depth) {
        const auto* prototypes = instancer.relationship("prototypes");
        if (!prototypes) return;
        const auto& protoIndices = numbers(instancer, "protoIndices");
        const auto& positions = numbers(instancer, "positions");
        const auto& orientations = numbers(instancer, "orientations");
        const auto& scales = numbers(instancer, "scales");
        const std::size_t count = protoIndices.size();
        const bool turned = orientations.size() == count * 4, scaled = scales.size() == count * 3;
        for (std::size_t i = 0; i < count; ++i) {
            const double p = protoIndices[i];
            if (!(p >= 0 && p < double(prototypes->size()) && p == std::floor(p))) continue;
            if (positions.size() < (i + 1) * 3) break;
            const Prim* proto = index_.find((*prototypes)[std::size_t(p)]);
            if (!proto) continue;
            // A prototype holding the instancer that places it would place itself without end.
            if (std::find(expanding_.begin(), expanding_.end(), proto) != expanding_.end()) {
                ++leftOut_;
                continue;
            }
            if (instances_ >= kMaxInstances || nodes_ >= kMaxNodes) {
                leftOut_ += count - i;
                return;
            }
            ++instances_;
            Context inner{ctx.look, "proto:" + (*prototypes)[std::size_t(p)] + "|" +
                                        std::to_string(reinterpret_cast<std::uintptr_t>(ctx.look)),
                          ""};
            expanding_.push_back(proto);
            auto copy = node(*proto, inner, depth + 1);
            expanding_.pop_back();
            if (!copy) continue;
            auto at = scene::Node::make();
            ++nodes_;
            at->position = {positions[i * 3], positions[i * 3 + 1], positions[i * 3 + 2]};
            if (turned) // stored real part first
                at->orientation = scene::Quaternion{orientations[i * 4 + 1], orientations[i * 4 + 2],
                                                    orientations[i * 4 + 3], orientations[i * 4]}
                                      .normalized();
            if (scaled) at->scale = {scales[i * 3], scales[i * 3 + 1], scales[i * 3 + 2]};
            at->addChildNode(std::move(copy));
            parent.addChildNode(std::move(at));
        }
    }

    PrimIndex index_;
    Looks looks_;
    std::map<std::string, std::shared_ptr<scene::Geometry>> shared_;
    std::vector<const Prim*> expanding_; // prototypes being copied, outermost first
    std::size_t meshCount_ = 0, nodes_ = 0, instances_ = 0, leftOut_ = 0;
};

} // namespace

StageScene buildScene(const Stage& stage, TextureReader textures) {
    StageScene out;
    out.scene = std::make_shared<scene::Scene>();
    Builder builder(stage, std::move(textures));
    // Z up to Y up: a quarter turn about X taking +Z to +Y, applied outside each top-level prim.
    const bool zUp = stage.upAxis == "Z";
    const auto toYUp = scene::Quaternion::fromAxisAngle({1, 0, 0}, -std::numbers::pi / 2);
    out.scene->metersPerUnit = stage.metersPerUnit;
    for (const Prim& prim : stage.rootPrims) {
        auto n = builder.node(prim, {}, 1);
        if (!n) continue;
        if (zUp) {
            n->position = toYUp.rotate(n->position);
            n->orientation = (toYUp * n->orientation).normalized();
        }
        out.scene->rootNode->addChildNode(std::move(n));
    }
    out.meshCount = builder.meshCount();
    out.leftOut = builder.leftOut();
    return out;
}

} // namespace trimeo::usd
