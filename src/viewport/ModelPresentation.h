// Turns a loaded scene into the presented one: the model moved into "modelContainer",
// its materials normalised, framed, turned upright for z-up formats, on the grid floor,
// with the fixed camera. Pure scene-graph work, safe on any thread for unshared nodes.
#pragma once

#include "scene/Scene.h"

#include <memory>
#include <string>

namespace trimeo {

inline constexpr const char* kModelContainerName = "modelContainer";

// For every geometry below `container` (not the container itself): when the first
// material has diffuse contents, all materials become double-sided; otherwise the whole
// list is replaced by one system-grey, physically based, double-sided material.
void normalizeMaterials(const scene::Node& container);

// True for the lower-cased extensions whose files have z up: "stl" and "3mf".
bool turnsUpright(const std::string& lowerCasedExtension);

// A node with default camera settings at (3, 2, 4), facing the origin.
scene::Node::Ptr makeCameraNode();

// Builds the presented scene: root children container, floor, camera, in that order.
// The loaded scene's top-level nodes are moved (not copied): its root ends empty.
std::shared_ptr<scene::Scene> presentLoadedModel(scene::Scene& loaded, const std::string& lowerCasedExtension);

} // namespace trimeo
