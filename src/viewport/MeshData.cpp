#include "MeshData.h"

#include <algorithm>
#include <cmath>

namespace trimeo {

std::span<const std::uint32_t> drawableIndices(const scene::Geometry& geometry, std::size_t element,
                                               std::vector<std::uint32_t>& scratch) {
    if (element >= geometry.elements.size()) return {};
    if (geometry.elements[element].isSequential()) {
        scratch = geometry.validTriangleIndices(element);
        return scratch;
    }
    const auto& idx = geometry.elements[element].indices;
    const std::size_t full = idx.size() / 3 * 3;
    const std::size_t vc = geometry.vertexCount();
    bool allValid = true;
    for (std::size_t i = 0; i < full && allValid; ++i) allValid = idx[i] < vc;
    if (allValid) return {idx.data(), full};
    scratch = geometry.validTriangleIndices(element);
    return scratch;
}

namespace {

struct Vec {
    float x = 0, y = 0, z = 0;
};
float dotv(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec unit(Vec a) {
    const float l = std::sqrt(dotv(a, a));
    return l > 0 && std::isfinite(l) ? Vec{a.x / l, a.y / l, a.z / l} : Vec{};
}

// The unnormalised cross product of triangle t's edges: its normal weighed by its area.
Vec areaNormal(std::span<const float> p, std::size_t stride, std::span<const std::uint32_t> tri, std::size_t t) {
    const float* a = &p[tri[t * 3] * stride];
    const float* b = &p[tri[t * 3 + 1] * stride];
    const float* c = &p[tri[t * 3 + 2] * stride];
    const Vec e1{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    return {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
}

std::vector<Vec> areaNormals(std::span<const float> p, std::size_t stride, std::span<const std::uint32_t> tri) {
    std::vector<Vec> area(tri.size() / 3);
    for (std::size_t t = 0; t < area.size(); ++t) area[t] = areaNormal(p, stride, tri, t);
    return area;
}

// Each face's area normal is worked out where it is needed rather than kept: for a big mesh
// a list of them is larger than the normals themselves.
std::vector<float> vertexNormals(std::size_t vertexCount, std::span<const float> p, std::size_t stride,
                                 std::span<const std::uint32_t> tri) {
    std::vector<float> out(vertexCount * 3, 0.0f);
    for (std::size_t t = 0; t < tri.size() / 3; ++t) {
        const Vec area = areaNormal(p, stride, tri, t);
        for (int k = 0; k < 3; ++k) {
            float* o = &out[tri[t * 3 + k] * 3];
            o[0] += area.x, o[1] += area.y, o[2] += area.z;
        }
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        float* o = &out[v * 3];
        const float len = std::sqrt(o[0] * o[0] + o[1] * o[1] + o[2] * o[2]);
        if (len > 0 && std::isfinite(len)) {
            o[0] /= len, o[1] /= len, o[2] /= len;
        } else {
            o[0] = 0, o[1] = 0, o[2] = 1;
        }
    }
    return out;
}

} // namespace

std::vector<float> computeVertexNormals(std::span<const float> p, std::size_t stride,
                                        std::span<const std::uint32_t> tri) {
    const std::size_t n = stride >= 3 ? p.size() / stride : 0;
    return vertexNormals(n, p, stride, tri);
}

bool isSequential(std::span<const std::uint32_t> indices) {
    for (std::size_t i = 0; i < indices.size(); ++i)
        if (indices[i] != i) return false;
    return true;
}

bool eachVertexUsedAtMostOnce(std::size_t vertexCount, std::span<const std::uint32_t> indices) {
    // STL's layout, one vertex per corner, is told apart in one pass without a table.
    if (indices.size() <= vertexCount && isSequential(indices)) return true;
    std::vector<bool> seen(vertexCount);
    for (std::uint32_t v : indices) {
        if (v >= vertexCount || seen[v]) return false;
        seen[v] = true;
    }
    return true;
}

ShadedMesh computeCreasedNormals(std::span<const float> p, std::size_t stride, std::span<const std::uint32_t> tri,
                                 double creaseDegrees) {
    ShadedMesh out;
    const std::size_t corners = tri.size() / 3 * 3;
    const std::size_t vertexCount = stride >= 3 ? p.size() / stride : 0;
    out.normals = vertexNormals(vertexCount, p, stride, tri.first(corners));
    const float cosCrease = float(std::cos(creaseDegrees * M_PI / 180.0));
    // Cheap test first: a face that leans far from its vertex's average normal marks a
    // sharp edge there. Smooth meshes, and STL's unshared vertices, stop here.
    const float cosHalf = float(std::cos(creaseDegrees * M_PI / 360.0));
    bool sharp = false;
    for (std::size_t t = 0; t < corners / 3 && !sharp; ++t) {
        const Vec f = areaNormal(p, stride, tri, t);
        const float ff = dotv(f, f);
        for (std::size_t c = t * 3; c < t * 3 + 3 && ff > 0 && !sharp; ++c) {
            const float* n = &out.normals[tri[c] * 3];
            const float d = dotv(f, Vec{n[0], n[1], n[2]});
            // cos(angle) < cosHalf, without normalising f: d < |f| cosHalf.
            sharp = d < 0 || d * d < ff * cosHalf * cosHalf;
        }
    }
    if (!sharp) return out;

    const std::vector<Vec> area = areaNormals(p, stride, tri.first(corners));
    std::vector<Vec> face(area.size());
    for (std::size_t t = 0; t < area.size(); ++t) face[t] = unit(area[t]);

    // Corners around each vertex (compressed rows).
    std::vector<std::uint32_t> start(vertexCount + 1, 0), around(corners);
    for (std::size_t c = 0; c < corners; ++c) ++start[tri[c] + 1];
    for (std::size_t v = 0; v < vertexCount; ++v) start[v + 1] += start[v];
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::size_t c = 0; c < corners; ++c) around[fill[tri[c]]++] = std::uint32_t(c);

    std::vector<float> smooth = std::move(out.normals);
    out.normals.clear();
    out.indices.resize(corners);
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const std::size_t firstOutput = out.remap.size();
        for (std::uint32_t i = start[v]; i < start[v + 1]; ++i) {
            const std::uint32_t c = around[i];
            const Vec f = face[c / 3];
            Vec n{smooth[v * 3], smooth[v * 3 + 1], smooth[v * 3 + 2]}; // degenerate faces take the average
            if (dotv(f, f) > 0) {
                Vec sum;
                for (std::uint32_t j = start[v]; j < start[v + 1]; ++j) {
                    const std::uint32_t other = around[j] / 3;
                    if (dotv(face[other], f) >= cosCrease)
                        sum = {sum.x + area[other].x, sum.y + area[other].y, sum.z + area[other].z};
                }
                n = unit(sum);
            }
            std::size_t found = out.remap.size();
            for (std::size_t k = firstOutput; k < out.remap.size() && found == out.remap.size(); ++k)
                if (dotv(n, Vec{out.normals[k * 3], out.normals[k * 3 + 1], out.normals[k * 3 + 2]}) > 0.9999f)
                    found = k;
            if (found == out.remap.size()) {
                out.remap.push_back(std::uint32_t(v));
                out.normals.insert(out.normals.end(), {n.x, n.y, n.z});
            }
            out.indices[c] = std::uint32_t(found);
        }
    }
    return out;
}

const scene::GeometrySource* usableNormals(const scene::Geometry& geometry) {
    const scene::GeometrySource* s = geometry.source(scene::Semantic::normal);
    if (!s || s->componentsPerVector != 3 || s->vectorCount() != geometry.vertexCount()) return nullptr;
    return s;
}

const scene::GeometrySource* usableTexcoords(const scene::Geometry& geometry) {
    const scene::GeometrySource* s = geometry.source(scene::Semantic::texcoord);
    if (!s || s->componentsPerVector < 2 || s->vectorCount() != geometry.vertexCount()) return nullptr;
    return s;
}

const scene::GeometrySource* usableSource(const scene::Geometry& geometry, scene::Semantic semantic, int components) {
    const scene::GeometrySource* s = geometry.source(semantic);
    if (!s || s->componentsPerVector != components || s->data.size() != geometry.vertexCount() * std::size_t(components))
        return nullptr;
    return s;
}

std::span<const std::uint32_t> PreparedMesh::indices(const scene::Geometry& geometry) const {
    if (!shaded.remap.empty()) return shaded.indices;
    if (!ownIndices.empty() || partSizes.size() != 1 || geometry.elements[0].isSequential()) return ownIndices;
    return {geometry.elements[0].indices.data(), partSizes[0]};
}

PreparedMesh prepareMesh(const scene::Geometry& g) {
    PreparedMesh out;
    const scene::GeometrySource* positions = g.source(scene::Semantic::vertex);
    const std::size_t vertexCount = g.vertexCount();
    if (!positions || positions->componentsPerVector < 3 || vertexCount == 0) return out;

    // A lone sequential element is drawn from the vertices as they stand: no list is made,
    // and each vertex is a corner of one triangle only.
    if (g.elements.size() == 1 && g.elements[0].isSequential()) {
        out.partSizes.push_back(std::min(g.elements[0].sequentialCount, vertexCount) / 3 * 3);
        out.sequential = true;
        out.planeShaded = !usableNormals(g);
        if (!g.skin)
            out.enclosure =
                findEnclosure(positions->data, std::size_t(positions->componentsPerVector), out.partSizes[0]);
        return out;
    }

    // One list over all elements; the geometry's own when it has one element that is
    // drawable as it stands (no copy).
    std::vector<std::uint32_t> scratch;
    for (std::size_t e = 0; e < g.elements.size(); ++e) {
        const std::span<const std::uint32_t> list = drawableIndices(g, e, scratch);
        out.partSizes.push_back(list.size());
        if (g.elements.size() > 1 || list.data() != g.elements[0].indices.data())
            out.ownIndices.insert(out.ownIndices.end(), list.begin(), list.end());
    }
    const std::span<const std::uint32_t> all = out.indices(g);
    out.sequential = isSequential(all);
    if (!g.skin) out.enclosure = findEnclosure(positions->data, std::size_t(positions->componentsPerVector), all);
    if (usableNormals(g)) return out;
    out.planeShaded = (out.sequential && all.size() <= vertexCount) || eachVertexUsedAtMostOnce(vertexCount, all);
    if (out.planeShaded) return out;
    out.shaded = computeCreasedNormals(positions->data, positions->componentsPerVector, all);
    if (!out.shaded.remap.empty()) out.sequential = isSequential(out.shaded.indices); // the split list is drawn
    return out;
}

PreparedMeshes prepareMeshes(const scene::Scene& scene) {
    PreparedMeshes out;
    if (!scene.rootNode) return out;
    auto visit = [&](const scene::Node& node) {
        if (node.geometry && !out.count(node.geometry.get()))
            out.emplace(node.geometry.get(), std::make_shared<const PreparedMesh>(prepareMesh(*node.geometry)));
    };
    visit(*scene.rootNode);
    scene.rootNode->enumerateChildNodes([&](const scene::Node::Ptr& node) { visit(*node); });
    return out;
}

} // namespace trimeo
