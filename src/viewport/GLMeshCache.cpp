#include "GLMeshCache.h"

#include "MeshData.h"

namespace trimeo::gl {

const GLMeshCache::Mesh& GLMeshCache::meshFor(const std::shared_ptr<scene::Geometry>& geometry) {
    auto it = meshes_.find(geometry.get());
    if (it == meshes_.end()) it = meshes_.emplace(geometry.get(), Entry{geometry, upload(*geometry)}).first;
    return it->second.mesh;
}

void GLMeshCache::clear() {
    for (auto& [key, entry] : meshes_) {
        gl_->glDeleteBuffers(4, entry.mesh.buffers);
        gl_->glDeleteVertexArrays(1, &entry.mesh.vao);
    }
    meshes_.clear();
}

GLMeshCache::Mesh GLMeshCache::upload(const scene::Geometry& g) {
    Mesh mesh;
    const scene::GeometrySource* positions = g.source(scene::Semantic::vertex);
    const std::size_t vertexCount = g.vertexCount();
    if (!positions || positions->componentsPerVector < 3 || vertexCount == 0) return mesh;

    // Drawable index ranges; views into the geometry unless a triangle had to be dropped.
    std::vector<std::vector<std::uint32_t>> scratch(g.elements.size());
    std::vector<std::span<const std::uint32_t>> lists;
    std::size_t total = 0;
    for (std::size_t e = 0; e < g.elements.size(); ++e) {
        lists.push_back(drawableIndices(g, e, scratch[e]));
        mesh.parts.push_back({total, GLsizei(lists.back().size())});
        total += lists.back().size();
    }

    gl_->glGenVertexArrays(1, &mesh.vao);
    gl_->glBindVertexArray(mesh.vao);
    gl_->glGenBuffers(4, mesh.buffers);

    const GLsizei positionStride = GLsizei(positions->componentsPerVector * sizeof(float));
    gl_->glBindBuffer(GL_ARRAY_BUFFER, mesh.buffers[0]);
    gl_->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertexCount * positionStride), positions->data.data(),
                      GL_STATIC_DRAW);
    gl_->glEnableVertexAttribArray(0);
    gl_->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, positionStride, nullptr);

    gl_->glBindBuffer(GL_ARRAY_BUFFER, mesh.buffers[1]);
    if (const scene::GeometrySource* normals = usableNormals(g)) {
        gl_->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(normals->data.size() * sizeof(float)), normals->data.data(),
                          GL_STATIC_DRAW);
    } else {
        // Computed once here and dropped after the upload: the scene keeps positions only.
        std::vector<float> computed;
        if (lists.size() == 1) {
            computed = computeVertexNormals(positions->data, positions->componentsPerVector, lists[0]);
        } else {
            std::vector<std::uint32_t> all;
            all.reserve(total);
            for (auto l : lists) all.insert(all.end(), l.begin(), l.end());
            computed = computeVertexNormals(positions->data, positions->componentsPerVector, all);
        }
        computed.resize(vertexCount * 3, 0.0f);
        gl_->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(computed.size() * sizeof(float)), computed.data(),
                          GL_STATIC_DRAW);
    }
    gl_->glEnableVertexAttribArray(1);
    gl_->glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 0, nullptr);

    if (const scene::GeometrySource* uv = usableTexcoords(g)) {
        const GLsizei stride = GLsizei(uv->componentsPerVector * sizeof(float));
        gl_->glBindBuffer(GL_ARRAY_BUFFER, mesh.buffers[2]);
        gl_->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(uv->data.size() * sizeof(float)), uv->data.data(),
                          GL_STATIC_DRAW);
        gl_->glEnableVertexAttribArray(2);
        gl_->glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, nullptr);
        mesh.hasTexcoords = true;
    } else {
        gl_->glDisableVertexAttribArray(2); // reads the default (0, 0): no texture is drawn anyway
    }

    gl_->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.buffers[3]);
    if (lists.size() == 1) {
        gl_->glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(total * 4), lists[0].data(), GL_STATIC_DRAW);
    } else {
        gl_->glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(total * 4), nullptr, GL_STATIC_DRAW);
        for (std::size_t e = 0; e < lists.size(); ++e)
            if (!lists[e].empty())
                gl_->glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, GLintptr(mesh.parts[e].firstIndex * 4),
                                     GLsizeiptr(lists[e].size() * 4), lists[e].data());
    }
    gl_->glBindVertexArray(0);
    return mesh;
}

} // namespace trimeo::gl
