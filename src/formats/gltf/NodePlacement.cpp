#include "NodePlacement.h"

#include <array>

namespace trimeo::gltf {
namespace {

std::optional<std::size_t> validIndex(const JSON* value, std::size_t size) {
    const auto i = integerValue(value);
    if (!i || *i < 0 || std::uint64_t(*i) >= size) return std::nullopt;
    return std::size_t(*i);
}

// An array of exactly N numbers.
template <std::size_t N>
std::optional<std::array<double, N>> numbers(const JSON* value) {
    if (!value || !value->is_array() || value->size() != N) return std::nullopt;
    std::array<double, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        const auto n = numberValue(&(*value)[i]);
        if (!n) return std::nullopt;
        out[i] = *n;
    }
    return out;
}

scene::Matrix4 compose(std::array<double, 3> t, std::array<double, 4> r, std::array<double, 3> s) {
    const scene::Quaternion q = scene::Quaternion{r[0], r[1], r[2], r[3]}.normalized();
    return scene::Matrix4::compose({t[0], t[1], t[2]}, q, {s[0], s[1], s[2]});
}

scene::Matrix4 localTransform(const JSON& node) {
    if (const auto m = numbers<16>(member(node, "matrix"))) {
        scene::Matrix4 out;
        out.m = *m; // both column-major
        return out;
    }
    return compose(numbers<3>(member(node, "translation")).value_or(std::array<double, 3>{0, 0, 0}),
                   numbers<4>(member(node, "rotation")).value_or(std::array<double, 4>{0, 0, 0, 1}),
                   numbers<3>(member(node, "scale")).value_or(std::array<double, 3>{1, 1, 1}));
}

class Walk {
public:
    Walk(std::span<const JSON> nodes, std::size_t meshCount, Accessors& accessors)
        : nodes_(nodes), meshCount_(meshCount), accessors_(accessors), onPath_(nodes.size(), false) {}

    void visit(std::size_t index, const scene::Matrix4& parent, std::size_t depth) {
        if (onPath_[index] || depth >= maxNodeDepth || ++visits_ > maxNodeVisits) return;
        const JSON& node = nodes_[index];
        const scene::Matrix4 world = parent * localTransform(node);
        if (const auto mesh = validIndex(member(node, "mesh"), meshCount_))
            place(node, *mesh, member(node, "skin") ? scene::Matrix4::identity() : world);
        const JSON* children = member(node, "children");
        if (!children || !children->is_array()) return;
        onPath_[index] = true;
        for (const JSON& child : *children)
            if (const auto c = validIndex(&child, nodes_.size())) visit(*c, world, depth + 1);
        onPath_[index] = false;
    }

    std::vector<MeshPlacement> placements;

private:
    void add(std::size_t mesh, const scene::Matrix4& transform) {
        if (placements.size() < maxPlacements) placements.push_back({mesh, transform});
    }

    // Instances: TRANSLATION, ROTATION and SCALE accessors of one count, each instance's
    // transform applied before the node's.
    void place(const JSON& node, std::size_t mesh, const scene::Matrix4& world) {
        const JSON* attributes = member(member(member(node, "extensions"), "EXT_mesh_gpu_instancing"), "attributes");
        if (!attributes) return add(mesh, world);
        auto read = [&](const char* name, std::size_t components) -> std::optional<std::vector<float>> {
            const auto a = validIndex(member(attributes, name), accessors_.size());
            if (!a) return std::nullopt;
            return accessors_.floats(*a, components);
        };
        const auto t = read("TRANSLATION", 3), r = read("ROTATION", 4), s = read("SCALE", 3);
        std::size_t count = SIZE_MAX;
        if (t) count = std::min(count, t->size() / 3);
        if (r) count = std::min(count, r->size() / 4);
        if (s) count = std::min(count, s->size() / 3);
        if (count == SIZE_MAX) return add(mesh, world);
        for (std::size_t i = 0; i < count && placements.size() < maxPlacements; ++i) {
            const std::array<double, 3> translation =
                t ? std::array<double, 3>{(*t)[i * 3], (*t)[i * 3 + 1], (*t)[i * 3 + 2]} : std::array<double, 3>{0, 0, 0};
            const std::array<double, 4> rotation = r ? std::array<double, 4>{(*r)[i * 4], (*r)[i * 4 + 1], (*r)[i * 4 + 2],
                                                                             (*r)[i * 4 + 3]}
                                                     : std::array<double, 4>{0, 0, 0, 1};
            const std::array<double, 3> scale =
                s ? std::array<double, 3>{(*s)[i * 3], (*s)[i * 3 + 1], (*s)[i * 3 + 2]} : std::array<double, 3>{1, 1, 1};
            add(mesh, world * compose(translation, rotation, scale));
        }
    }

    std::span<const JSON> nodes_;
    std::size_t meshCount_;
    Accessors& accessors_;
    std::vector<bool> onPath_;
    std::size_t visits_ = 0;
};

// The top nodes of the scene shown: the default scene's, scene 0's, or every root's.
std::vector<std::size_t> topNodes(const JSON& root, std::span<const JSON> nodes) {
    std::vector<std::size_t> top;
    const auto scenes = arrayOfObjects(member(root, "scenes")).value_or(std::span<const JSON>());
    std::optional<std::size_t> chosen = validIndex(member(root, "scene"), scenes.size());
    if (!chosen && !scenes.empty()) chosen = 0;
    if (chosen) {
        const JSON* list = member(scenes[*chosen], "nodes");
        if (list && list->is_array())
            for (const JSON& n : *list)
                if (const auto i = validIndex(&n, nodes.size())) top.push_back(*i);
        return top;
    }
    std::vector<bool> isChild(nodes.size(), false);
    for (const JSON& node : nodes) {
        const JSON* children = member(node, "children");
        if (!children || !children->is_array()) continue;
        for (const JSON& child : *children)
            if (const auto c = validIndex(&child, nodes.size())) isChild[*c] = true;
    }
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (!isChild[i]) top.push_back(i);
    return top;
}

} // namespace

bool isIdentity(const scene::Matrix4& m) { return m.m == scene::Matrix4::identity().m; }

std::vector<MeshPlacement> placeMeshes(const JSON& root, std::size_t meshCount, Accessors& accessors) {
    const auto nodes = arrayOfObjects(member(root, "nodes")).value_or(std::span<const JSON>());
    Walk walk(nodes, meshCount, accessors);
    for (const std::size_t top : topNodes(root, nodes)) walk.visit(top, scene::Matrix4::identity(), 0);

    std::vector<bool> named(meshCount, false);
    for (const JSON& node : nodes)
        if (const auto mesh = validIndex(member(node, "mesh"), meshCount)) named[*mesh] = true;
    for (std::size_t m = 0; m < meshCount; ++m)
        if (!named[m] && walk.placements.size() < maxPlacements) walk.placements.push_back({m, scene::Matrix4::identity()});
    return std::move(walk.placements);
}

} // namespace trimeo::gltf

