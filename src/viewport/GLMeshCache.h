// Geometry uploaded to the GPU once per scene: positions straight from the geometry's
// flat arrays, normals from the file or computed once here (none for meshes whose
// triangles share no vertex: their planes shade them), texture coordinates and a skin's
// joints and weights when they fit,
// and only the triangles whose indices all lie inside the vertex list. On a software
// rasteriser in a compatibility context nothing is copied: the draws read the geometry's
// (and the prepared) arrays where they are, which the cache keeps alive.
// Every call needs the owning OpenGL context current.
#pragma once

#include "MeshData.h"
#include "scene/Geometry.h"

#include <epoxy/gl.h>

#include <memory>
#include <unordered_map>
#include <vector>

namespace trimeo::gl {

class GLMeshCache {
public:
    struct Part { // one geometry element: a range of the index buffer
        std::size_t firstIndex = 0;
        GLsizei count = 0;
    };
    struct Mesh {
        GLuint vao = 0;
        GLuint buffers[6] = {}; // positions, normals, texcoords, indices, joints, weights
        std::vector<Part> parts;
        bool hasTexcoords = false;
        bool hasNormals = false; // else shaded by each triangle's plane
        bool hasSkin = false;    // joints and weights uploaded (attributes 3 and 4)
        bool sequential = false; // index i is vertex i (STL's layout): drawn without an index buffer
        HiddenSide hidden = HiddenSide::none; // never seen from outside `box` (none when skinned)
        scene::BoundingBox box;
        const std::uint32_t* clientIndices = nullptr; // drawn from here rather than an index buffer
    };

    GLMeshCache(); // decides, for the current context, whether draws read the arrays in place
    GLMeshCache(const GLMeshCache&) = delete;
    GLMeshCache& operator=(const GLMeshCache&) = delete;

    // Meshes already prepared on another thread, used (and then dropped) by their uploads.
    void setPrepared(PreparedMeshes prepared);
    // Uploads on first use. A geometry without positions yields a mesh without parts.
    const Mesh& meshFor(const std::shared_ptr<scene::Geometry>& geometry);
    // Whether draws read the geometry's arrays where they are rather than from buffers.
    bool drawsInPlace() const { return inPlace_; }
    // Frees every buffer (and what was prepared); call before the scene changes and before
    // the context goes.
    void clear();

private:
    struct Entry {
        std::shared_ptr<const scene::Geometry> geometry; // keeps the key's address unique
        Mesh mesh;
        // What the draws read in place: the prepared lists and gathered copies.
        std::shared_ptr<const PreparedMesh> prepared;
        std::vector<std::vector<float>> gathered;
    };
    void upload(const scene::Geometry& geometry, Entry& entry);

    std::unordered_map<const scene::Geometry*, Entry> meshes_;
    PreparedMeshes prepared_;
    bool inPlace_ = false;
};

} // namespace trimeo::gl
