// Geometry: vertex sources (flat 32-bit float arrays the renderer can upload as they are),
// index elements and an ordered material list. Element i is drawn with materials[i % count].
#pragma once

#include "BoundingBox.h"
#include "Material.h"
#include "Transform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <span>
#include <vector>

namespace trimeo::scene {

// boneIndices and boneWeights: 4 per vertex, the joints (indices into Skin::jointNames,
// stored as floats) that move the vertex and how much each counts (summing to 1).
enum class Semantic { vertex, normal, texcoord, boneIndices, boneWeights };

struct GeometrySource {
    Semantic semantic = Semantic::vertex;
    int componentsPerVector = 3;
    std::vector<float> data; // componentsPerVector floats per vector, tightly packed

    static GeometrySource vertices(std::span<const Vector3> points);
    static GeometrySource vertices(std::vector<float> xyz) { return {Semantic::vertex, 3, std::move(xyz)}; }
    static GeometrySource normals(std::vector<float> xyz) { return {Semantic::normal, 3, std::move(xyz)}; }
    static GeometrySource texcoords(std::vector<float> uv) { return {Semantic::texcoord, 2, std::move(uv)}; }
    static GeometrySource boneIndices(std::vector<float> joints) { return {Semantic::boneIndices, 4, std::move(joints)}; }
    static GeometrySource boneWeights(std::vector<float> weights) { return {Semantic::boneWeights, 4, std::move(weights)}; }

    std::size_t vectorCount() const { return componentsPerVector > 0 ? data.size() / componentsPerVector : 0; }
};

enum class PrimitiveType { triangles };

struct GeometryElement {
    // Indices exactly as the file gave them: some may be at or beyond the vertex count.
    std::vector<std::uint32_t> indices;
    // With no indices: this many corners taken from vertices 0, 1, 2, ... in order (one
    // vertex per corner, as STL stores them), so that no list need be held.
    std::size_t sequentialCount = 0;
    PrimitiveType primitiveType = PrimitiveType::triangles;

    static GeometryElement sequential(std::size_t corners) { return {{}, corners}; }
    bool isSequential() const { return indices.empty() && sequentialCount > 0; }
    std::size_t cornerCount() const { return indices.empty() ? sequentialCount : indices.size(); }
    std::size_t primitiveCount() const { return cornerCount() / 3; }
};

// How a skinned geometry follows its skeleton: joint i is the node named jointNames[i];
// inverseBindMatrices[i] takes the geometry's coordinates into that joint's space as it
// stood when the skin was bound. A vertex is drawn at the weighted sum, over its joints,
// of jointWorld * inverseBind applied to it (the geometry's own node does not move it).
struct Skin {
    std::vector<std::string> jointNames;
    std::vector<Matrix4> inverseBindMatrices; // one per joint
};

class Geometry {
public:
    Geometry() = default;
    Geometry(std::vector<GeometrySource> sources, std::vector<GeometryElement> elements);

    std::vector<GeometrySource> sources;
    std::vector<GeometryElement> elements;
    std::vector<Material> materials;
    std::optional<Skin> skin; // with boneIndices and boneWeights sources

    Material* firstMaterial() { return materials.empty() ? nullptr : &materials.front(); }
    const Material* firstMaterial() const { return materials.empty() ? nullptr : &materials.front(); }

    // The first source with this semantic, or null.
    const GeometrySource* source(Semantic semantic) const;
    std::size_t vertexCount() const;

    // Box of the vertex positions; empty when there are none.
    BoundingBox boundingBox() const;

    // The element's complete triangles whose three indices all lie below vertexCount():
    // the only ones safe to hand to a renderer (a sequential element's written out).
    std::vector<std::uint32_t> validTriangleIndices(std::size_t element) const;
    std::size_t validTriangleCount() const;
};

} // namespace trimeo::scene
