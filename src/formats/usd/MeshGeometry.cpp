#include "MeshGeometry.h"

#include <cmath>
#include <cstdint>

namespace trimeo::usd {
namespace {

const std::vector<double>& numbers(const Prim& prim, const char* name) {
    static const std::vector<double> none;
    const Attribute* a = prim.attribute(name);
    return a ? a->value.numbers : none;
}

bool isIndex(double v) { return v >= 0 && v <= double(UINT32_MAX) && v == std::floor(v); }

// Triangles as corners: each entry is the position in faceVertexIndices of that corner.
std::vector<std::uint32_t> fanCorners(const std::vector<double>& counts, const std::vector<double>& indices,
                                      bool leftHanded) {
    std::vector<std::uint32_t> corners;
    std::size_t start = 0;
    for (double c : counts) {
        if (!isIndex(c) || c > double(indices.size() - start)) break;
        const auto n = static_cast<std::size_t>(c);
        bool valid = n >= 3;
        for (std::size_t k = 0; valid && k < n; ++k) valid = isIndex(indices[start + k]);
        for (std::size_t k = 1; valid && k + 1 < n; ++k) {
            const auto a = std::uint32_t(start), b = std::uint32_t(start + k), d = std::uint32_t(start + k + 1);
            corners.insert(corners.end(), {a, leftHanded ? d : b, leftHanded ? b : d});
        }
        start += n;
    }
    return corners;
}

std::vector<float> toFloats(const std::vector<double>& v, std::size_t count) {
    std::vector<float> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<float>(v[i]);
    return out;
}

scene::Material displayMaterial(const Prim& mesh) {
    scene::Material material;
    const auto& color = numbers(mesh, "primvars:displayColor");
    const auto& opacity = numbers(mesh, "primvars:displayOpacity");
    if (color.size() >= 3) {
        float alpha = opacity.empty() ? 1.0f : static_cast<float>(opacity[0]);
        material.diffuse.contents = scene::Color{float(color[0]), float(color[1]), float(color[2]), alpha};
    }
    return material;
}

} // namespace

std::shared_ptr<scene::Geometry> meshGeometry(const Prim& mesh) {
    const auto& points = numbers(mesh, "points");
    const auto& indices = numbers(mesh, "faceVertexIndices");
    const Attribute* orientation = mesh.attribute("orientation");
    const bool leftHanded = orientation && !orientation->value.texts.empty() &&
                            orientation->value.texts.front() == "leftHanded";
    const std::vector<std::uint32_t> corners = fanCorners(numbers(mesh, "faceVertexCounts"), indices, leftHanded);
    if (corners.empty()) return nullptr;

    const std::size_t pointCount = points.size() / 3;
    const Attribute* normalsAttr = mesh.attribute("normals");
    if (!normalsAttr) normalsAttr = mesh.attribute("primvars:normals");
    const std::vector<double>* normals = normalsAttr ? &normalsAttr->value.numbers : nullptr;
    const bool faceVarying = normals && normalsAttr->interpolation == "faceVarying" &&
                             normals->size() / 3 == indices.size();
    const bool perPoint = normals && !faceVarying && pointCount > 0 && normals->size() / 3 == pointCount;

    scene::GeometryElement element;
    std::vector<scene::GeometrySource> sources;
    if (faceVarying) {
        // One vertex per corner used, since normals differ between the faces sharing a point.
        std::vector<float> xyz, nxyz;
        xyz.reserve(corners.size() * 3);
        nxyz.reserve(corners.size() * 3);
        for (std::uint32_t corner : corners) {
            const auto p = static_cast<std::size_t>(indices[corner]);
            for (int k = 0; k < 3; ++k) {
                xyz.push_back(p < pointCount ? float(points[p * 3 + k]) : 0.0f);
                nxyz.push_back(float((*normals)[std::size_t(corner) * 3 + k]));
            }
            element.indices.push_back(std::uint32_t(element.indices.size()));
        }
        sources.push_back(scene::GeometrySource::vertices(std::move(xyz)));
        sources.push_back(scene::GeometrySource::normals(std::move(nxyz)));
    } else {
        element.indices.reserve(corners.size());
        for (std::uint32_t corner : corners) element.indices.push_back(static_cast<std::uint32_t>(indices[corner]));
        sources.push_back(scene::GeometrySource::vertices(toFloats(points, pointCount * 3)));
        if (perPoint) sources.push_back(scene::GeometrySource::normals(toFloats(*normals, pointCount * 3)));
    }
    auto geometry = std::make_shared<scene::Geometry>(std::move(sources), std::vector{std::move(element)});
    geometry->materials.push_back(displayMaterial(mesh));
    return geometry;
}

} // namespace trimeo::usd
