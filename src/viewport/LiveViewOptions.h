// The host's live display options applied to a presented scene: wireframe and playback.
// Both apply the current values in full and remember nothing between calls.
#pragma once

#include "scene/Scene.h"

#include <vector>

namespace trimeo {

// Sets the first material of every geometry below the root (the floor's included) to
// lines or fill. Further materials keep their fill mode. No scene: nothing happens.
void applyWireframe(const scene::Scene* scene, bool showWireframe);

// With animations: playing sets `viewIsPlaying` and unpauses the collected nodes;
// not playing pauses them and leaves `viewIsPlaying` as it is. Without: touches nothing.
void applyPlayback(bool hasAnimations, bool isPlaying, const std::vector<scene::Node::Ptr>& animationNodes,
                   bool& viewIsPlaying);

} // namespace trimeo
