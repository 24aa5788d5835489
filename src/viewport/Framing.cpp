#include "Framing.h"

#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

namespace trimeo {

namespace {
using scene::Matrix4;

bool hasSkin(const scene::Node& container) {
    bool found = false;
    container.enumerateChildNodes([&](const scene::Node::Ptr& n) { found = found || (n->geometry && n->geometry->skin); });
    return found;
}

// The box of every geometry in the container's space, skinned ones posed by their joints.
scene::BoundingBox posedBounds(const scene::Node& container) {
    std::vector<std::pair<const scene::Node*, Matrix4>> nodes; // each with its transform into the container
    std::vector<std::pair<const scene::Node*, Matrix4>> stack;
    for (auto c = container.childNodes().rbegin(); c != container.childNodes().rend(); ++c)
        stack.emplace_back(c->get(), (*c)->transform()); // pre-order, as names are found when drawing
    std::unordered_map<std::string, Matrix4> jointByName;
    while (!stack.empty()) {
        auto [node, toContainer] = stack.back();
        stack.pop_back();
        nodes.emplace_back(node, toContainer);
        if (node->name) jointByName.emplace(*node->name, toContainer); // the first of a name, as the renderer
        const auto& children = node->childNodes();
        for (auto c = children.rbegin(); c != children.rend(); ++c) stack.emplace_back(c->get(), toContainer * (*c)->transform());
    }
    scene::BoundingBox box;
    for (const auto& [node, toContainer] : nodes) {
        const scene::Geometry* g = node->geometry.get();
        if (!g) continue;
        const scene::GeometrySource* positions = g->source(scene::Semantic::vertex);
        const scene::GeometrySource* joints = g->source(scene::Semantic::boneIndices);
        const scene::GeometrySource* weights = g->source(scene::Semantic::boneWeights);
        const std::size_t count = g->vertexCount();
        if (!g->skin || !positions || positions->componentsPerVector < 3 || !joints || !weights ||
            joints->data.size() < count * 4 || weights->data.size() < count * 4) {
            box.add(g->boundingBox().transformed(toContainer));
            continue;
        }
        std::vector<Matrix4> palette;
        for (std::size_t j = 0; j < g->skin->jointNames.size(); ++j) {
            const auto found = jointByName.find(g->skin->jointNames[j]);
            palette.push_back(found == jointByName.end() || j >= g->skin->inverseBindMatrices.size()
                                  ? toContainer
                                  : found->second * g->skin->inverseBindMatrices[j]);
        }
        const std::size_t stride = std::size_t(positions->componentsPerVector);
        for (std::size_t v = 0; v < count; ++v) {
            const scene::Vector3 p(positions->data[v * stride], positions->data[v * stride + 1],
                                   positions->data[v * stride + 2]);
            scene::Vector3 posed;
            double total = 0;
            for (int i = 0; i < 4; ++i) {
                const double w = weights->data[v * 4 + i];
                const auto j = std::size_t(joints->data[v * 4 + i]);
                if (!(w > 0) || j >= palette.size()) continue;
                posed = posed + palette[j].transformPoint(p) * w;
                total += w;
            }
            box.add(total > 0 ? posed * (1 / total) : toContainer.transformPoint(p));
        }
    }
    return box;
}
} // namespace

void centerAndScaleModel(scene::Node& container) {
    // Without skins the box is the container's own, exactly as it reports it.
    const scene::BoundingBox box = hasSkin(container) ? posedBounds(container) : container.boundingBox();
    if (!std::isfinite(box.min.x) || !std::isfinite(box.max.x)) return;

    const scene::Vector3 centre{(box.min.x + box.max.x) * 0.5, (box.min.y + box.max.y) * 0.5,
                                (box.min.z + box.max.z) * 0.5};
    for (const scene::Node::Ptr& child : container.childNodes()) child->position = child->position - centre;

    // The moved children only shift the box, so the extents come from the box read above.
    const scene::Vector3 e = box.max - box.min;
    double largest = e.x;
    if (e.x <= e.y) largest = e.y;
    if (largest <= e.z) largest = e.z; // NaN compares false and keeps the value so far
    if (!(largest > 0) || std::isinf(largest)) return;

    const float f = static_cast<float>(largest);
    const float s = 2.0f / f;
    // A finite extent beyond float range, or one that rounds to 0, would give a scale of
    // 0 or infinity and make the model vanish; keep the scale instead.
    if (!std::isfinite(s) || !(s > 0)) return;
    container.scale = scene::Vector3(s, s, s);
}

} // namespace trimeo
