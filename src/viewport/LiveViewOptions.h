// The host's live display options as they reach a presented scene: wireframe is a draw
// option the renderer asks about per drawn part; playback pauses and resumes nodes.
#pragma once

#include "scene/Scene.h"

#include <cstddef>
#include <vector>

namespace trimeo {

// Whether a geometry's part is drawn as lines: its material says so, or the wireframe
// option is on and the part uses the geometry's first material (further materials keep
// their own fill mode). A part without a material is drawn filled.
bool drawsAsLines(const scene::Material* material, std::size_t materialIndex, bool showWireframe);

// With animations: playing sets `viewIsPlaying` and unpauses the collected nodes;
// not playing pauses them and leaves `viewIsPlaying` as it is. Without: touches nothing.
void applyPlayback(bool hasAnimations, bool isPlaying, const std::vector<scene::Node::Ptr>& animationNodes,
                   bool& viewIsPlaying);

} // namespace trimeo
