// What the renderer uploads for a geometry, prepared without GL: the index list that is
// safe to draw and per-vertex normals where the file brought none.
#pragma once

#include "HiddenFaces.h"
#include "scene/Geometry.h"

#include "scene/Scene.h"

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

namespace trimeo {

// The element's indices when every complete triangle lies inside the vertex list (no
// copy: a view of the element itself), otherwise only the valid triangles, copied into
// `scratch` (a sequential element's written out there). A trailing incomplete triangle is
// never included.
std::span<const std::uint32_t> drawableIndices(const scene::Geometry& geometry, std::size_t element,
                                               std::vector<std::uint32_t>& scratch);

// Area-weighted vertex normals of the triangles (indices must be valid for `positions`,
// read with `stride` floats per vertex). Vertices on no triangle, or only on degenerate
// ones, get (0, 0, 1). Returns 3 floats per vertex.
std::vector<float> computeVertexNormals(std::span<const float> positions, std::size_t stride,
                                        std::span<const std::uint32_t> triangles);

// True when index i is i throughout (STL's layout): drawable without an index list.
bool isSequential(std::span<const std::uint32_t> indices);

// True when no vertex is a corner of more than one triangle (STL's layout). Such a mesh's
// smooth normals are its faces' own, which the renderer takes from each triangle's plane,
// so none need computing or uploading.
bool eachVertexUsedAtMostOnce(std::size_t vertexCount, std::span<const std::uint32_t> indices);

// Normals for a mesh that brought none: smooth across edges flatter than `creaseDegrees`,
// split into separate vertices where faces meet more sharply (so a box stays a box).
// When no edge is that sharp, `remap` and `indices` stay empty and `normals` has one
// entry per input vertex. Otherwise output vertex i copies input vertex remap[i], and
// `indices` replaces `triangles` one for one (same order, so element ranges keep).
struct ShadedMesh {
    std::vector<float> normals; // 3 per output vertex
    std::vector<std::uint32_t> remap;
    std::vector<std::uint32_t> indices;
};
ShadedMesh computeCreasedNormals(std::span<const float> positions, std::size_t stride,
                                 std::span<const std::uint32_t> triangles, double creaseDegrees = 40);

// The geometry's own normals when they match its vertex count, else null.
const scene::GeometrySource* usableNormals(const scene::Geometry& geometry);
// The geometry's 2-component texture coordinates when they match its vertex count, else null.
const scene::GeometrySource* usableTexcoords(const scene::Geometry& geometry);
// The first source of `semantic` with exactly `components` floats per vertex for every
// vertex, else null.
const scene::GeometrySource* usableSource(const scene::Geometry& geometry, scene::Semantic semantic, int components);

// The CPU side of a geometry's upload, which needs no GL and can be made on the loading
// thread: the drawable triangles of all elements as one list, and the normals to go with
// them when the file has none.
struct PreparedMesh {
    std::vector<std::size_t> partSizes;     // index count of each element, in order
    std::vector<std::uint32_t> ownIndices;  // only when the geometry's own list cannot be drawn as it is
    bool planeShaded = false;               // no normals needed: eachVertexUsedAtMostOnce
    bool sequential = false;                // the list to draw isSequential
    ShadedMesh shaded;                      // computed normals (and split vertices)
    Enclosure enclosure;                    // none for skinned geometry, whose shape moves

    // The list to draw: the split one, our own, or the geometry's first element as it is;
    // empty for a lone sequential element, which is drawn without one.
    std::span<const std::uint32_t> indices(const scene::Geometry& geometry) const;
};
PreparedMesh prepareMesh(const scene::Geometry& geometry);

// Every geometry of a scene, prepared once each.
using PreparedMeshes = std::unordered_map<const scene::Geometry*, std::shared_ptr<const PreparedMesh>>;
PreparedMeshes prepareMeshes(const scene::Scene& scene);

} // namespace trimeo
