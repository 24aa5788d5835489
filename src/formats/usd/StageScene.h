// Turns a flattened Stage into the scene layer: each top-level prim becomes a child of the
// root. Xform, Scope, SkelRoot and untyped prims become grouping nodes; Mesh prims and the
// implicit shapes nodes with geometry; a PointInstancer a node holding one placed copy of
// its prototype per instance. Class prims, invisible prims, proxy and guide purposes, and
// every other type (materials, shaders, cameras, lights, skeletons) are left out with
// everything below them; inactive prims are composition's to remove. A stage with upAxis
// "Z" is turned to Y up.
//
// Materials follow "material:binding" (inherited down the hierarchy, a prim's own binding
// first; GeomSubsets bind their faces). Instanceable prims holding the same prims below them
// share their geometry, as do the copies of one instancer prototype. Instancing places at
// most kMaxInstances copies and the scene holds at most kMaxNodes nodes; what lies beyond
// is left out and counted.
#pragma once

#include "PreviewMaterial.h"
#include "UsdStage.h"
#include "scene/Scene.h"

#include <cstddef>
#include <memory>

namespace trimeo::usd {

inline constexpr std::size_t kMaxInstances = 250'000;
inline constexpr std::size_t kMaxNodes = 1'000'000;

struct StageScene {
    std::shared_ptr<scene::Scene> scene;
    std::size_t meshCount = 0;  // nodes holding geometry, each placed copy counted
    std::size_t leftOut = 0;    // instances or nodes beyond the limits
};

StageScene buildScene(const Stage& stage, TextureReader textures = {});

} // namespace trimeo::usd
