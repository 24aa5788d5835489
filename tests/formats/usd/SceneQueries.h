// Questions the usd scene tests ask of a built scene.
#pragma once

#include "scene/Scene.h"

#include <string>
#include <vector>

namespace trimeo::test {

// Drawable triangles of every node's geometry, each placed copy counted.
std::size_t triangleCount(const scene::Scene& scene);
// The box around every drawn vertex, in the root's coordinates.
scene::BoundingBox worldBounds(const scene::Scene& scene);
// Every node holding geometry, depth first.
std::vector<const scene::Node*> geometryNodes(const scene::Scene& scene);
// The first node of that name, depth first; null when there is none.
const scene::Node* findNode(const scene::Scene& scene, const std::string& name);

} // namespace trimeo::test

#include "formats/usd/UsdStage.h"

namespace trimeo::test {

// The prim at an absolute path of a stage built in a test; fails the test when missing.
usd::Prim& primAt(usd::Stage& stage, const std::string& path);
// A fixture file's usda stage.
usd::Stage fixtureStage(const std::string& relativeToRealUsd);

} // namespace trimeo::test
