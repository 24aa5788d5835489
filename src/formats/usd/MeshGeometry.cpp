#include "MeshGeometry.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <map>

namespace trimeo::usd {
namespace {

const std::vector<double>& numbers(const Prim& prim, const std::string& name) {
    static const std::vector<double> none;
    const Attribute* a = prim.attribute(name);
    return a ? a->value.numbers : none;
}

std::string firstText(const Prim& prim, const char* name) {
    const Attribute* a = prim.attribute(name);
    return a && !a->value.texts.empty() ? a->value.texts[0] : std::string{};
}

bool isIndex(double v) { return v >= 0 && v <= double(UINT32_MAX) && v == std::floor(v); }

// The mesh's faces and their fan triangles. Every face of faceVertexCounts up to the first
// that runs past the index list is numbered, dropped ones too, as uniform values count them.
struct Topology {
    std::vector<std::size_t> faceStart, faceSize; // per face, in faceVertexIndices
    std::vector<std::uint32_t> corners;           // three per triangle: positions in faceVertexIndices
    std::vector<std::uint32_t> triangleFace;      // per triangle
};

Topology triangulate(const std::vector<double>& counts, const std::vector<double>& indices, bool leftHanded) {
    Topology t;
    std::size_t start = 0;
    for (double c : counts) {
        if (!isIndex(c) || c > double(indices.size() - start)) break;
        const auto n = static_cast<std::size_t>(c);
        const auto face = std::uint32_t(t.faceStart.size());
        t.faceStart.push_back(start);
        t.faceSize.push_back(n);
        bool valid = n >= 3;
        for (std::size_t k = 0; valid && k < n; ++k) valid = isIndex(indices[start + k]);
        for (std::size_t k = 1; valid && k + 1 < n; ++k) {
            const auto a = std::uint32_t(start), b = std::uint32_t(start + k), d = std::uint32_t(start + k + 1);
            t.corners.insert(t.corners.end(), {a, leftHanded ? d : b, leftHanded ? b : d});
            t.triangleFace.push_back(face);
        }
        start += n;
    }
    return t;
}

enum class Interpolation { constant, uniform, vertex, faceVarying };

// A primvar bound to the mesh's topology: which value a face corner takes.
struct Primvar {
    const std::vector<double>* values = nullptr;
    const std::vector<double>* indices = nullptr;
    std::size_t width = 1;
    Interpolation interpolation = Interpolation::constant;

    // The value's position for a corner of `face` at `point`, `corner` being its position in
    // faceVertexIndices; nothing when the file's data does not reach it.
    std::optional<std::size_t> at(std::size_t face, std::size_t point, std::size_t corner) const {
        std::size_t e = interpolation == Interpolation::constant  ? 0
                        : interpolation == Interpolation::uniform ? face
                        : interpolation == Interpolation::vertex  ? point
                                                                  : corner;
        if (indices) {
            if (e >= indices->size() || !isIndex((*indices)[e])) return std::nullopt;
            e = static_cast<std::size_t>((*indices)[e]);
        }
        if (e >= values->size() / width) return std::nullopt;
        return e * width;
    }
    bool perPoint() const { return interpolation == Interpolation::constant || interpolation == Interpolation::vertex; }
};

struct Counts {
    std::size_t faces, points, corners;
};

std::optional<Primvar> primvar(const Prim& mesh, const std::string& name, std::size_t width, Interpolation fallback,
                               const Counts& counts) {
    const Attribute* a = mesh.attribute(name);
    if (!a || a->value.numbers.size() < width) return std::nullopt;
    const Attribute* idx = mesh.attribute(name + ":indices");
    Primvar p{&a->value.numbers, idx && !idx->value.numbers.empty() ? &idx->value.numbers : nullptr, width, fallback};
    const std::size_t n = p.indices ? p.indices->size() : a->value.numbers.size() / width;
    const std::string& i = a->interpolation;
    if (i == "constant") p.interpolation = Interpolation::constant;
    else if (i == "uniform") p.interpolation = Interpolation::uniform;
    else if (i == "vertex" || i == "varying") p.interpolation = Interpolation::vertex;
    else if (i == "faceVarying") p.interpolation = Interpolation::faceVarying;
    const auto needed = [&](Interpolation k) {
        return k == Interpolation::constant ? std::size_t(1)
               : k == Interpolation::uniform ? counts.faces
               : k == Interpolation::vertex  ? counts.points
                                             : counts.corners;
    };
    if (p.interpolation == Interpolation::constant || n == needed(p.interpolation)) return p;
    // Writers that leave out or misstate the interpolation: the count tells it.
    for (Interpolation k : {Interpolation::faceVarying, Interpolation::vertex, Interpolation::uniform})
        if (n == needed(k)) {
            p.interpolation = k;
            return p;
        }
    return std::nullopt;
}

bool subdivided(const Prim& mesh) {
    const Attribute* a = mesh.attribute("subdivisionScheme");
    return !a || a->value.texts.empty() || a->value.texts[0] != "none";
}

// The name of the primvar holding the texture coordinates; empty when there is none.
std::string texcoordName(const Prim& mesh, const std::vector<const Look*>& looks) {
    for (const Look* look : looks)
        if (look && !look->texcoords.empty() && mesh.attribute(look->texcoords)) return look->texcoords;
    if (mesh.attribute("primvars:st")) return "primvars:st";
    for (const auto& [name, a] : mesh.attributes)
        if (name.starts_with("primvars:") && a.typeName.starts_with("texCoord2") && !name.ends_with(":indices"))
            return name;
    return {};
}

// Each face's look: its materialBind subset's, else the mesh's.
std::vector<const Look*> faceLooks(const Prim& mesh, const MeshLooks& looks, std::size_t faceCount) {
    std::vector<const Look*> out(faceCount, looks.mesh);
    std::vector<bool> taken(faceCount, false);
    for (const Prim& child : mesh.children) {
        if (child.typeName != "GeomSubset" || !looks.bound) continue;
        const std::string family = firstText(child, "familyName"), element = firstText(child, "elementType");
        if ((!family.empty() && family != "materialBind") || (!element.empty() && element != "face")) continue;
        const Look* look = looks.bound(child);
        if (!look) continue;
        for (double i : numbers(child, "indices")) {
            if (!isIndex(i) || i >= double(faceCount) || taken[std::size_t(i)]) continue;
            taken[std::size_t(i)] = true;
            out[std::size_t(i)] = look;
        }
    }
    return out;
}

using Rgba = std::array<float, 4>;

// The face's display colour: its value, or the mean over its corners.
std::optional<Rgba> faceColour(const Primvar* colour, const Primvar* opacity, std::size_t face, const Topology& t,
                               const std::vector<double>& indices) {
    double sum[4] = {0, 0, 0, 0};
    std::size_t n = 0, m = 0;
    for (std::size_t k = 0; k < t.faceSize[face]; ++k) {
        const std::size_t corner = t.faceStart[face] + k, point = std::size_t(indices[corner]);
        if (colour)
            if (auto at = colour->at(face, point, corner)) {
                for (int c = 0; c < 3; ++c) sum[c] += (*colour->values)[*at + c];
                ++n;
            }
        if (opacity)
            if (auto at = opacity->at(face, point, corner)) {
                sum[3] += (*opacity->values)[*at];
                ++m;
            }
    }
    if (n == 0) return std::nullopt;
    auto unit = [](double v) { return float(std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0); };
    return Rgba{unit(sum[0] / n), unit(sum[1] / n), unit(sum[2] / n), m ? unit(sum[3] / m) : 1.0f};
}

// Groups the triangles by what they are drawn with: a look, a colour, or nothing.
struct Grouping {
    std::vector<std::size_t> triangleSlot;
    std::vector<scene::Material> materials;
};

Grouping group(const Prim& mesh, const Topology& t, const std::vector<const Look*>& looks, const Counts& counts,
               const std::vector<double>& indices) {
    const auto colour = primvar(mesh, "primvars:displayColor", 3, Interpolation::constant, counts);
    const auto opacity = primvar(mesh, "primvars:displayOpacity", 1, Interpolation::constant, counts);
    std::vector<std::optional<Rgba>> colours(t.faceStart.size());
    std::map<Rgba, std::size_t> distinct;
    Rgba mean{0, 0, 0, 0};
    std::size_t coloured = 0;
    for (std::uint32_t face : t.triangleFace) {
        if (looks[face] || colours[face] || !colour) continue;
        colours[face] = faceColour(&*colour, opacity ? &*opacity : nullptr, face, t, indices);
        if (!colours[face]) continue;
        Rgba key;
        for (int c = 0; c < 4; ++c) {
            key[c] = std::round((*colours[face])[c] * 255.0f) / 255.0f;
            mean[c] += (*colours[face])[c];
        }
        colours[face] = key;
        distinct.emplace(key, 0);
        ++coloured;
    }
    const bool fold = distinct.size() > kMaxColourElements;
    for (float& c : mean) c = coloured ? c / float(coloured) : 0.0f;

    Grouping g;
    std::map<const Look*, std::size_t> lookSlots;
    std::map<Rgba, std::size_t> colourSlots;
    std::optional<std::size_t> plainSlot;
    const bool doubleSided = !numbers(mesh, "doubleSided").empty() && numbers(mesh, "doubleSided")[0] != 0;
    auto add = [&](scene::Material m) {
        m.isDoubleSided = doubleSided;
        g.materials.push_back(std::move(m));
        return g.materials.size() - 1;
    };
    for (std::uint32_t face : t.triangleFace) {
        std::size_t slot;
        if (const Look* look = looks[face]) {
            auto [it, fresh] = lookSlots.emplace(look, 0);
            if (fresh) it->second = add(look->material);
            slot = it->second;
        } else if (colours[face]) {
            const Rgba key = fold ? mean : *colours[face];
            auto [it, fresh] = colourSlots.emplace(key, 0);
            if (fresh) {
                scene::Material m;
                m.diffuse.contents = scene::Color{key[0], key[1], key[2], key[3]};
                it->second = add(std::move(m));
            }
            slot = it->second;
        } else {
            if (!plainSlot) plainSlot = add(scene::Material{});
            slot = *plainSlot;
        }
        g.triangleSlot.push_back(slot);
    }
    return g;
}

// Bind-pose placement of a skinned mesh's points (the matrix multiplies row vectors).
struct BindTransform {
    const std::vector<double>* m = nullptr;
    void point(const double* in, float* out) const {
        for (int c = 0; c < 3; ++c)
            out[c] = m ? float(in[0] * (*m)[c] + in[1] * (*m)[4 + c] + in[2] * (*m)[8 + c] + (*m)[12 + c]) : float(in[c]);
    }
    void normal(const double* in, float* out) const {
        double v[3];
        for (int c = 0; c < 3; ++c) v[c] = m ? in[0] * (*m)[c] + in[1] * (*m)[4 + c] + in[2] * (*m)[8 + c] : in[c];
        const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int c = 0; c < 3; ++c) out[c] = float(m && len > 0 ? v[c] / len : v[c]);
    }
};

} // namespace

bool isVec3Array(const Attribute& a) {
    const std::string& t = a.typeName;
    if (t.empty()) return a.value.numbers.size() % 3 == 0;
    if (!t.ends_with("[]")) return false;
    const std::string base = t.substr(0, t.size() - 2);
    return base == "float3" || base == "double3" || base == "half3" || base.ends_with("3f") || base.ends_with("3d") ||
           base.ends_with("3h");
}

std::shared_ptr<scene::Geometry> meshGeometry(const Prim& mesh, const MeshLooks& meshLooks) {
    const Attribute* pointsAttr = mesh.attribute("points");
    if (!pointsAttr || !isVec3Array(*pointsAttr)) return nullptr;
    const auto& points = pointsAttr->value.numbers;
    const auto& indices = numbers(mesh, "faceVertexIndices");
    const bool leftHanded = firstText(mesh, "orientation") == "leftHanded";
    const Topology t = triangulate(numbers(mesh, "faceVertexCounts"), indices, leftHanded);
    if (t.corners.empty()) return nullptr;
    const std::size_t pointCount = points.size() / 3;
    const Counts counts{t.faceStart.size(), pointCount, indices.size()};

    std::optional<Primvar> normals;
    if (!subdivided(mesh))
        for (const char* name : {"primvars:normals", "normals"}) {
            const Attribute* a = mesh.attribute(name);
            if (!a || !isVec3Array(*a)) continue;
            normals = primvar(mesh, name, 3, Interpolation::vertex, counts);
            break;
        }
    const std::vector<const Look*> looks = faceLooks(mesh, meshLooks, t.faceStart.size());
    const std::string stName = texcoordName(mesh, looks);
    const auto st = stName.empty() ? std::nullopt : primvar(mesh, stName, 2, Interpolation::vertex, counts);
    const std::vector<double>* bind = nullptr;
    if (const auto& m = numbers(mesh, "primvars:skel:geomBindTransform"); m.size() == 16) bind = &m;
    const BindTransform placed{bind};

    Grouping grouping = group(mesh, t, looks, counts, indices);
    std::vector<scene::GeometryElement> elements(grouping.materials.size());
    std::vector<float> xyz, nxyz, uv;
    const bool shared = (!normals || normals->perPoint()) && (!st || st->perPoint());
    if (shared) {
        xyz.resize(pointCount * 3);
        for (std::size_t p = 0; p < pointCount; ++p) placed.point(&points[p * 3], &xyz[p * 3]);
        if (normals) nxyz.resize(pointCount * 3);
        if (st) uv.resize(pointCount * 2);
        for (std::size_t p = 0; p < pointCount; ++p) {
            if (normals)
                if (auto at = normals->at(0, p, 0)) placed.normal(&(*normals->values)[*at], &nxyz[p * 3]);
            if (st)
                if (auto at = st->at(0, p, 0))
                    for (int c = 0; c < 2; ++c) uv[p * 2 + c] = float((*st->values)[*at + c]);
        }
        for (std::size_t tri = 0; tri < t.triangleFace.size(); ++tri) {
            auto& out = elements[grouping.triangleSlot[tri]].indices;
            for (int k = 0; k < 3; ++k) out.push_back(std::uint32_t(indices[t.corners[tri * 3 + k]]));
        }
    } else {
        // One vertex per corner: the values differ between the faces that share a point.
        for (std::size_t tri = 0; tri < t.triangleFace.size(); ++tri) {
            const std::size_t face = t.triangleFace[tri];
            bool inRange = true;
            for (int k = 0; k < 3; ++k) inRange = inRange && std::size_t(indices[t.corners[tri * 3 + k]]) < pointCount;
            if (!inRange) continue;
            auto& out = elements[grouping.triangleSlot[tri]].indices;
            for (int k = 0; k < 3; ++k) {
                const std::size_t corner = t.corners[tri * 3 + k], p = std::size_t(indices[corner]);
                out.push_back(std::uint32_t(xyz.size() / 3));
                float v[3], n[3] = {0, 0, 0};
                placed.point(&points[p * 3], v);
                xyz.insert(xyz.end(), v, v + 3);
                if (normals) {
                    if (auto at = normals->at(face, p, corner)) placed.normal(&(*normals->values)[*at], n);
                    nxyz.insert(nxyz.end(), n, n + 3);
                }
                if (st) {
                    auto at = st->at(face, p, corner);
                    for (int c = 0; c < 2; ++c) uv.push_back(at ? float((*st->values)[*at + c]) : 0.0f);
                }
            }
        }
    }
    std::vector<scene::GeometrySource> sources;
    sources.push_back(scene::GeometrySource::vertices(std::move(xyz)));
    if (normals) sources.push_back(scene::GeometrySource::normals(std::move(nxyz)));
    if (st) sources.push_back(scene::GeometrySource::texcoords(std::move(uv)));
    auto geometry = std::make_shared<scene::Geometry>(std::move(sources), std::move(elements));
    geometry->materials = std::move(grouping.materials);
    if (geometry->validTriangleCount() == 0) return nullptr;
    return geometry;
}

} // namespace trimeo::usd
