// Turns a Stage into the scene layer: each top-level prim becomes a child of the root.
// Xform, Scope, SkelRoot and untyped prims become grouping nodes, Mesh prims nodes with
// geometry; class prims and every other type (materials, shaders, cameras, lights, subsets)
// are left out with everything below them. A stage with upAxis "Z" is turned to Y up.
#pragma once

#include "UsdStage.h"
#include "scene/Scene.h"

#include <cstddef>
#include <memory>

namespace trimeo::usd {

struct StageScene {
    std::shared_ptr<scene::Scene> scene;
    std::size_t meshCount = 0; // Mesh prims that gave at least one triangle
};

StageScene buildScene(const Stage& stage);

} // namespace trimeo::usd
