#include "Shapes.h"

#include <cmath>
#include <numbers>

namespace trimeo::usd {
namespace {

double number(const Prim& prim, const char* name, double fallback) {
    const Attribute* a = prim.attribute(name);
    return a && a->value.numbers.size() == 1 ? a->value.numbers[0] : fallback;
}

// Maps (a, b, c) with c along the shape's axis to x, y, z; cyclic, so winding is kept.
int axisIndex(const Prim& prim) {
    const Attribute* a = prim.attribute("axis");
    const std::string axis = a && !a->value.texts.empty() ? a->value.texts[0] : "Z";
    return axis == "X" ? 0 : axis == "Y" ? 1 : 2;
}

class MeshBuilder {
public:
    explicit MeshBuilder(int axis) : axis_(axis) {}

    std::uint32_t vertex(double a, double b, double c, double na, double nb, double nc) {
        put(xyz_, a, b, c);
        put(n_, na, nb, nc);
        return std::uint32_t(xyz_.size() / 3 - 1);
    }
    void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) { indices_.insert(indices_.end(), {a, b, c}); }

    std::shared_ptr<scene::Geometry> geometry() {
        std::vector<scene::GeometrySource> sources{scene::GeometrySource::vertices(std::move(xyz_)),
                                                   scene::GeometrySource::normals(std::move(n_))};
        scene::GeometryElement element;
        element.indices = std::move(indices_);
        return std::make_shared<scene::Geometry>(std::move(sources), std::vector{std::move(element)});
    }

private:
    void put(std::vector<float>& out, double a, double b, double c) {
        const double v[3] = {a, b, c};
        // axis Z: (a, b, c); X: (c, a, b); Y: (b, c, a).
        const int shift = (axis_ + 1) % 3;
        for (int k = 0; k < 3; ++k) out.push_back(float(v[(k + 3 - shift) % 3]));
    }

    int axis_;
    std::vector<float> xyz_, n_;
    std::vector<std::uint32_t> indices_;
};

// A point of a profile in the half plane (r >= 0, z), with its outward normal there.
struct ProfilePoint {
    double r, z, nr, nz;
};

// Turns each polyline of the profile about the axis. A polyline running counter-clockwise
// in the (r, z) plane (up the outside, inwards on top) gives outward-facing triangles; a
// point on the axis closes its ring with one triangle per slice instead of two.
void revolve(MeshBuilder& mesh, const std::vector<std::vector<ProfilePoint>>& polylines) {
    constexpr int n = kShapeSlices;
    for (const auto& line : polylines) {
        std::vector<std::uint32_t> previous;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const ProfilePoint& p = line[i];
            std::vector<std::uint32_t> ring;
            for (int j = 0; j <= n; ++j) {
                const double t = 2 * std::numbers::pi * (j % n) / n, c = std::cos(t), s = std::sin(t);
                ring.push_back(mesh.vertex(p.r * c, p.r * s, p.z, p.nr * c, p.nr * s, p.nz));
            }
            if (i > 0) {
                const bool lowPole = line[i - 1].r == 0, highPole = p.r == 0;
                for (int j = 0; j < n; ++j) {
                    if (!lowPole) mesh.triangle(previous[j], previous[j + 1], ring[j + 1]);
                    if (!highPole) mesh.triangle(previous[j], ring[j + 1], ring[j]);
                }
            }
            previous = std::move(ring);
        }
    }
}

// Half a sphere's meridian from angle `from` to `to` (radians from the equator), centred at z0.
void arc(std::vector<ProfilePoint>& line, double radius, double z0, double from, double to, int steps) {
    for (int i = 0; i <= steps; ++i) {
        const double a = from + (to - from) * i / steps;
        const double c = i == steps && std::abs(std::abs(to) - std::numbers::pi / 2) < 1e-12 ? 0 : std::cos(a);
        line.push_back({radius * c, z0 + radius * std::sin(a), c, std::sin(a)});
    }
}

std::shared_ptr<scene::Geometry> cube(const Prim& prim) {
    const double h = number(prim, "size", 2) / 2;
    MeshBuilder mesh(2);
    for (int axis = 0; axis < 3; ++axis)
        for (int sign : {1, -1}) {
            // Face normal along `axis`; u and v span the face so that u x v points outwards.
            double nrm[3] = {0, 0, 0}, u[3] = {0, 0, 0}, v[3] = {0, 0, 0};
            nrm[axis] = sign;
            u[(axis + 1) % 3] = sign;
            v[(axis + 2) % 3] = 1;
            std::uint32_t corner[4];
            const double uv[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
            for (int k = 0; k < 4; ++k) {
                double p[3];
                for (int d = 0; d < 3; ++d) p[d] = h * (nrm[d] + uv[k][0] * u[d] + uv[k][1] * v[d]);
                corner[k] = mesh.vertex(p[0], p[1], p[2], nrm[0], nrm[1], nrm[2]);
            }
            mesh.triangle(corner[0], corner[1], corner[2]);
            mesh.triangle(corner[0], corner[2], corner[3]);
        }
    return mesh.geometry();
}

std::shared_ptr<scene::Geometry> plane(const Prim& prim) {
    // Width and length lie along these axes: X -> (z, y), Y -> (x, z), Z -> (x, y).
    const int axis = axisIndex(prim);
    const double w = number(prim, "width", 2) / 2, l = number(prim, "length", 2) / 2;
    const int widthAxis = axis == 0 ? 2 : 0, lengthAxis = axis == 1 ? 2 : 1;
    MeshBuilder mesh(2);
    std::uint32_t corner[4];
    const double uv[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int k = 0; k < 4; ++k) {
        double p[3] = {0, 0, 0}, nrm[3] = {0, 0, 0};
        p[widthAxis] = uv[k][0] * w;
        p[lengthAxis] = uv[k][1] * l;
        nrm[axis] = 1;
        corner[k] = mesh.vertex(p[0], p[1], p[2], nrm[0], nrm[1], nrm[2]);
    }
    // Counter-clockwise seen from +axis; width x length points the other way for X and Y.
    if (axis != 2) {
        mesh.triangle(corner[0], corner[3], corner[2]);
        mesh.triangle(corner[0], corner[2], corner[1]);
    } else {
        mesh.triangle(corner[0], corner[1], corner[2]);
        mesh.triangle(corner[0], corner[2], corner[3]);
    }
    return mesh.geometry();
}

std::shared_ptr<scene::Geometry> round(const Prim& prim) {
    const std::string& type = prim.typeName;
    const double quarter = std::numbers::pi / 2;
    constexpr int stacks = kShapeSlices / 2;
    std::vector<std::vector<ProfilePoint>> profile;
    if (type == "Sphere") {
        profile.emplace_back();
        arc(profile.back(), number(prim, "radius", 1), 0, -quarter, quarter, stacks);
        profile.back().front().r = 0;
    } else if (type == "Capsule") {
        const double r = number(prim, "radius", 0.5), h = number(prim, "height", 1) / 2;
        profile.emplace_back();
        arc(profile.back(), r, -h, -quarter, 0, stacks / 2);
        arc(profile.back(), r, h, 0, quarter, stacks / 2);
        profile.back().front().r = 0;
    } else {
        const double r = number(prim, "radius", 1), h = number(prim, "height", 2) / 2;
        profile.push_back({{0, -h, 0, -1}, {r, -h, 0, -1}}); // base
        if (type == "Cylinder") {
            profile.push_back({{r, -h, 1, 0}, {r, h, 1, 0}});
            profile.push_back({{r, h, 0, 1}, {0, h, 0, 1}});
        } else {
            const double len = std::hypot(r, 2 * h);
            const double nr = len > 0 ? 2 * h / len : 0, nz = len > 0 ? r / len : 0;
            profile.push_back({{r, -h, nr, nz}, {0, h, nr, nz}});
        }
    }
    MeshBuilder mesh(axisIndex(prim));
    revolve(mesh, profile);
    return mesh.geometry();
}

bool finiteSizes(const Prim& prim) {
    for (const char* name : {"size", "radius", "height", "width", "length"})
        if (!std::isfinite(number(prim, name, 1))) return false;
    return true;
}

} // namespace

bool isShape(const std::string& t) {
    return t == "Cube" || t == "Sphere" || t == "Cylinder" || t == "Cone" || t == "Capsule" || t == "Plane";
}

std::shared_ptr<scene::Geometry> shapeGeometry(const Prim& prim) {
    if (!isShape(prim.typeName) || !finiteSizes(prim)) return nullptr;
    if (prim.typeName == "Cube") return cube(prim);
    if (prim.typeName == "Plane") return plane(prim);
    return round(prim);
}

} // namespace trimeo::usd
