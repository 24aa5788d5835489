#include "GLMeshCache.h"

#include "AntialiasedTarget.h"
#include "GLShaders.h"

#include "MeshData.h"

namespace trimeo::gl {

GLMeshCache::GLMeshCache() {
    // Copying a big mesh into buffers costs a software driver as much memory again and time
    // to fill it, and gains it nothing: it reads vertices from main memory either way.
    GLint profile = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    inPlace_ = (profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT) &&
               AntialiasedTarget::modeForCurrentContext() == AntialiasedTarget::Mode::supersampled;
}

const GLMeshCache::Mesh& GLMeshCache::meshFor(const std::shared_ptr<scene::Geometry>& geometry) {
    auto it = meshes_.find(geometry.get());
    if (it == meshes_.end()) {
        it = meshes_.emplace(geometry.get(), Entry{geometry, {}, {}, {}}).first;
        upload(*geometry, it->second);
    }
    return it->second.mesh;
}

void GLMeshCache::setPrepared(PreparedMeshes prepared) { prepared_ = std::move(prepared); }

void GLMeshCache::clear() {
    for (auto& [key, entry] : meshes_) {
        glDeleteBuffers(6, entry.mesh.buffers);
        glDeleteVertexArrays(1, &entry.mesh.vao);
    }
    meshes_.clear();
    prepared_.clear();
}

namespace {

// `components` floats of each listed source vector, for vertices split at sharp edges.
std::vector<float> gather(const scene::GeometrySource& source, int components, std::span<const std::uint32_t> remap) {
    std::vector<float> out;
    out.reserve(remap.size() * std::size_t(components));
    const std::size_t stride = std::size_t(source.componentsPerVector);
    for (std::uint32_t v : remap)
        out.insert(out.end(), source.data.begin() + std::ptrdiff_t(v * stride),
                   source.data.begin() + std::ptrdiff_t(v * stride + std::size_t(components)));
    return out;
}

} // namespace

void GLMeshCache::upload(const scene::Geometry& g, Entry& entry) {
    Mesh& mesh = entry.mesh;
    const scene::GeometrySource* positions = g.source(scene::Semantic::vertex);
    const std::size_t vertexCount = g.vertexCount();
    if (!positions || positions->componentsPerVector < 3 || vertexCount == 0) return;

    // Made on the loading thread when the scene came with it, else now. Computed normals
    // live only until the upload (drawn in place, as long as the mesh): the scene keeps
    // what the file gave.
    std::shared_ptr<const PreparedMesh> prepared;
    if (auto it = prepared_.find(&g); it != prepared_.end()) {
        prepared = std::move(it->second);
        prepared_.erase(it);
    } else {
        prepared = std::make_shared<const PreparedMesh>(prepareMesh(g));
    }
    std::size_t total = 0;
    for (std::size_t size : prepared->partSizes) {
        mesh.parts.push_back({total, GLsizei(size)});
        total += size;
    }
    const scene::GeometrySource* fileNormals = usableNormals(g);
    const bool planeShaded = prepared->planeShaded;
    const ShadedMesh& shaded = prepared->shaded;
    const bool split = !shaded.remap.empty();
    const scene::GeometrySource* uv = usableTexcoords(g);

    glGenVertexArrays(1, &mesh.vao);
    glBindVertexArray(mesh.vao);
    glGenBuffers(6, mesh.buffers);
    auto arrayBuffer = [&](int slot, int attribute, int components, const float* data, std::size_t floats,
                           GLsizei stride) {
        glEnableVertexAttribArray(GLuint(attribute));
        if (inPlace_) {
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            glVertexAttribPointer(GLuint(attribute), components, GL_FLOAT, GL_FALSE, stride, data);
            return;
        }
        glBindBuffer(GL_ARRAY_BUFFER, mesh.buffers[slot]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(floats * sizeof(float)), data, GL_STATIC_DRAW);
        glVertexAttribPointer(GLuint(attribute), components, GL_FLOAT, GL_FALSE, stride, nullptr);
    };
    // A copy made for the draw; kept while the draws read it in place, else until uploaded.
    auto gathered = [&](std::vector<float> copy) -> const std::vector<float>& {
        entry.gathered.push_back(std::move(copy));
        return entry.gathered.back();
    };

    if (split) {
        const std::vector<float>& p = gathered(gather(*positions, 3, shaded.remap));
        arrayBuffer(0, 0, 3, p.data(), p.size(), 0);
    } else {
        // The file's flat array as it is, whatever its stride.
        arrayBuffer(0, 0, 3, positions->data.data(), vertexCount * std::size_t(positions->componentsPerVector),
                    GLsizei(positions->componentsPerVector * sizeof(float)));
    }
    if (fileNormals) arrayBuffer(1, 1, 3, fileNormals->data.data(), fileNormals->data.size(), 0);
    else if (!planeShaded) arrayBuffer(1, 1, 3, shaded.normals.data(), shaded.normals.size(), 0);
    else glDisableVertexAttribArray(1); // reads the zero normal the draw sets
    mesh.hasNormals = !planeShaded;

    if (uv && split) {
        const std::vector<float>& t = gathered(gather(*uv, 2, shaded.remap));
        arrayBuffer(2, 2, 2, t.data(), t.size(), 0);
        mesh.hasTexcoords = true;
    } else if (uv) {
        arrayBuffer(2, 2, 2, uv->data.data(), uv->data.size(), GLsizei(uv->componentsPerVector * sizeof(float)));
        mesh.hasTexcoords = true;
    } else {
        glDisableVertexAttribArray(2); // reads the default (0, 0): no texture is drawn anyway
    }

    const scene::GeometrySource* joints = g.skin ? usableSource(g, scene::Semantic::boneIndices, 4) : nullptr;
    const scene::GeometrySource* weights = g.skin ? usableSource(g, scene::Semantic::boneWeights, 4) : nullptr;
    if (joints && weights && g.skin->jointNames.size() <= std::size_t(kMaxJoints)) {
        for (auto [slot, source] : {std::pair{4, joints}, std::pair{5, weights}}) {
            if (split) {
                const std::vector<float>& v = gathered(gather(*source, 4, shaded.remap));
                arrayBuffer(slot, slot - 1, 4, v.data(), v.size(), 0);
            } else {
                arrayBuffer(slot, slot - 1, 4, source->data.data(), source->data.size(), 0);
            }
        }
        mesh.hasSkin = true;
    }
    if (!mesh.hasSkin) {
        mesh.hidden = prepared->enclosure.hidden;
        mesh.box = prepared->enclosure.box;
    }

    const std::span<const std::uint32_t> indices = prepared->indices(g);
    mesh.sequential = prepared->sequential;
    if (!mesh.sequential && inPlace_) {
        mesh.clientIndices = indices.data();
    } else if (!mesh.sequential) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.buffers[3]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 4), indices.data(), GL_STATIC_DRAW);
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (inPlace_) entry.prepared = std::move(prepared);
    else entry.gathered = {}; // the driver holds its copies now
}

} // namespace trimeo::gl
