#include "LiveViewOptions.h"

namespace trimeo {

void applyWireframe(const scene::Scene* scene, bool showWireframe) {
    if (!scene || !scene->rootNode) return;
    const scene::FillMode mode = showWireframe ? scene::FillMode::lines : scene::FillMode::fill;
    scene->rootNode->enumerateChildNodes([mode](const scene::Node::Ptr& node) {
        if (!node->geometry) return;
        if (scene::Material* first = node->geometry->firstMaterial()) first->fillMode = mode;
    });
}

void applyPlayback(bool hasAnimations, bool isPlaying, const std::vector<scene::Node::Ptr>& animationNodes,
                   bool& viewIsPlaying) {
    if (!hasAnimations) return;
    if (isPlaying) viewIsPlaying = true;
    for (const scene::Node::Ptr& node : animationNodes) node->isPaused = !isPlaying;
}

} // namespace trimeo
