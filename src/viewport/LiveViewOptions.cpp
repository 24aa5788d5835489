#include "LiveViewOptions.h"

namespace trimeo {

bool drawsAsLines(const scene::Material* material, std::size_t materialIndex, bool showWireframe) {
    if (!material) return false;
    return material->fillMode == scene::FillMode::lines || (showWireframe && materialIndex == 0);
}

void applyPlayback(bool hasAnimations, bool isPlaying, const std::vector<scene::Node::Ptr>& animationNodes,
                   bool& viewIsPlaying) {
    if (!hasAnimations) return;
    if (isPlaying) viewIsPlaying = true;
    for (const scene::Node::Ptr& node : animationNodes) node->isPaused = !isPlaying;
}

} // namespace trimeo
