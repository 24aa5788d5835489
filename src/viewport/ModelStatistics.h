// The figures the inspector and `--info` report about a model: counts, size, surface area,
// volume and whether it is watertight. All lengths are in the coordinates of the node the
// figures are taken from (the file's own units when that is the loaded model's root or the
// container holding it; the container's own scale and position are left out).
//
// Two steps so that the slow part never runs on the interface thread: `takeInventory`
// walks the nodes and copies their transforms (quick; run it where the nodes may be
// changed, e.g. by animation), `measureMeshes` then works on that copy alone and may run on
// any thread while the geometries stay unchanged.
#pragma once

#include "scene/BoundingBox.h"
#include "scene/Node.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace trimeo {

struct MeshInstance {
    std::shared_ptr<const scene::Geometry> geometry;
    scene::Matrix4 transform; // into the coordinates of the node the inventory started from
};

struct ModelInventory {
    std::size_t nodes = 0;     // descendants of the starting node
    std::size_t meshes = 0;    // of them, those with geometry
    std::size_t vertices = 0;  // summed over those geometries
    std::size_t triangles = 0; // drawable triangles (Geometry::validTriangleCount), summed
    std::size_t materials = 0; // distinct materials (by value) over all geometries
    std::size_t textures = 0;  // distinct images among the materials' diffuse contents
    std::vector<MeshInstance> instances;
};

struct MeshFigures {
    scene::BoundingBox box; // around every vertex; empty when there is none
    double surfaceArea = 0;
    // Every mesh closed: each edge (vertices welded by exact position) borders exactly two
    // triangles that run along it in opposite directions. False for a model without triangles.
    bool watertight = false;
    std::optional<double> volume; // only when watertight: the enclosed volume, always positive
};

ModelInventory takeInventory(const scene::Node& root);
MeshFigures measureMeshes(const std::vector<MeshInstance>& instances);

// The watertight test of a single geometry, in its own coordinates.
bool isWatertight(const scene::Geometry& geometry);

// True when the geometry's triangles enclose a negative signed volume: wound clockwise seen
// from outside (many STL writers do this), so their front faces look inwards.
bool isInsideOut(const scene::Geometry& geometry);

} // namespace trimeo
