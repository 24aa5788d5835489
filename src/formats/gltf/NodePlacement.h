// Where a document places its meshes: the node hierarchy of the scene it shows, each node's
// world transform, and EXT_mesh_gpu_instancing's instances.
#pragma once

#include "Accessors.h"
#include "scene/Transform.h"

#include <vector>

namespace trimeo::gltf {

struct MeshPlacement {
    std::size_t mesh = 0;
    scene::Matrix4 transform; // mesh coordinates to the scene's
};

// Deeper hierarchies, and more visits or placements than these, are left out: only a
// hostile file (a node graph that shares children, or a long chain) comes near them.
constexpr std::size_t maxNodeDepth = 1024;
constexpr std::size_t maxNodeVisits = std::size_t(1) << 20;
constexpr std::size_t maxPlacements = std::size_t(1) << 17;

// The placements, in walk order (depth first, each node before its children): the scene
// "scene" names, else scene 0, else every node that is no node's child. A node's transform
// is its "matrix" (16 numbers, column-major) or its translation, rotation and scale, applied
// after its parent's; a node already on the path (a cycle) is not entered again. A node with
// EXT_mesh_gpu_instancing places its mesh once per instance. A skinned node's own transform
// is not applied (glTF draws skinned meshes by their joints; stored, they are in the bind
// pose). After the walk, every mesh that no node names at all, untransformed, in mesh order.
std::vector<MeshPlacement> placeMeshes(const JSON& root, std::size_t meshCount, Accessors& accessors);

bool isIdentity(const scene::Matrix4& m);

} // namespace trimeo::gltf
