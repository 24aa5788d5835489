#include "XformOps.h"

#include <cmath>
#include <numbers>
#include <string_view>

namespace trimeo::usd {
namespace {

using scene::Matrix4;
using scene::Quaternion;
using scene::Vector3;

constexpr double kDegrees = std::numbers::pi / 180.0;

Vector3 axis(char a) { return a == 'X' ? Vector3{1, 0, 0} : a == 'Y' ? Vector3{0, 1, 0} : Vector3{0, 0, 1}; }

Matrix4 rotation(Quaternion q) { return Matrix4::compose({}, q.normalized(), {1, 1, 1}); }

// "rotateZYX" turns about Z first, then Y, then X: the last axis is outermost. Whatever
// the order, the value holds the X, Y and Z angles in that order.
Matrix4 threeAxisRotation(std::string_view order, const std::vector<double>& n) {
    Quaternion q;
    for (int i = 0; i < 3; ++i) q = Quaternion::fromAxisAngle(axis(order[i]), n[order[i] - 'X'] * kDegrees) * q;
    return rotation(q);
}

// Inverse of an affine matrix; a singular one stays as it was (nothing sensible to undo).
Matrix4 affineInverse(const Matrix4& m) {
    const double a = m.at(0, 0), b = m.at(0, 1), c = m.at(0, 2);
    const double d = m.at(1, 0), e = m.at(1, 1), f = m.at(1, 2);
    const double g = m.at(2, 0), h = m.at(2, 1), k = m.at(2, 2);
    const double det = a * (e * k - f * h) - b * (d * k - f * g) + c * (d * h - e * g);
    if (det == 0 || !std::isfinite(det)) return m;
    Matrix4 r;
    r.at(0, 0) = (e * k - f * h) / det, r.at(0, 1) = (c * h - b * k) / det, r.at(0, 2) = (b * f - c * e) / det;
    r.at(1, 0) = (f * g - d * k) / det, r.at(1, 1) = (a * k - c * g) / det, r.at(1, 2) = (c * d - a * f) / det;
    r.at(2, 0) = (d * h - e * g) / det, r.at(2, 1) = (b * g - a * h) / det, r.at(2, 2) = (a * e - b * d) / det;
    for (int row = 0; row < 3; ++row)
        r.at(row, 3) = -(r.at(row, 0) * m.at(0, 3) + r.at(row, 1) * m.at(1, 3) + r.at(row, 2) * m.at(2, 3));
    return r;
}

Matrix4 opMatrix(std::string_view kind, const std::vector<double>& n) {
    Matrix4 m;
    if (kind == "translate" && n.size() >= 3) return Matrix4::compose({n[0], n[1], n[2]}, {}, {1, 1, 1});
    if (kind == "scale" && n.size() >= 3) return Matrix4::compose({}, {}, {n[0], n[1], n[2]});
    if (kind == "orient" && n.size() >= 4) return rotation({n[1], n[2], n[3], n[0]}); // stored real first
    if (kind == "transform" && n.size() >= 16) {
        // The file's rows are our columns: it multiplies row vectors.
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col) m.at(row, col) = n[col * 4 + row];
        return m;
    }
    if (kind.size() == 7 && kind.substr(0, 6) == "rotate" && !n.empty())
        return rotation(Quaternion::fromAxisAngle(axis(kind[6]), n[0] * kDegrees));
    if (kind.size() == 9 && kind.substr(0, 6) == "rotate" && n.size() >= 3) return threeAxisRotation(kind.substr(6), n);
    return m;
}

bool isAxisName(std::string_view s) {
    for (char c : s)
        if (c != 'X' && c != 'Y' && c != 'Z') return false;
    return true;
}

} // namespace

Matrix4 localTransform(const Prim& prim) {
    Matrix4 result;
    const Attribute* order = prim.attribute("xformOpOrder");
    if (!order) return result;
    for (std::string_view name : order->value.texts) {
        bool invert = false;
        if (name.substr(0, 8) == "!invert!") {
            invert = true;
            name.remove_prefix(8);
        }
        if (name.substr(0, 8) != "xformOp:") continue;
        const Attribute* op = prim.attribute(std::string(name));
        if (!op) continue;
        std::string_view kind = name.substr(8);
        kind = kind.substr(0, kind.find(':'));
        if (kind.substr(0, 6) == "rotate" && !isAxisName(kind.substr(6))) continue;
        Matrix4 m = opMatrix(kind, op->value.numbers);
        result = result * (invert ? affineInverse(m) : m);
    }
    return result;
}

Decomposed decompose(const Matrix4& m) {
    Decomposed d;
    d.translation = {m.at(0, 3), m.at(1, 3), m.at(2, 3)};
    Vector3 cols[3];
    for (int c = 0; c < 3; ++c) cols[c] = {m.at(0, c), m.at(1, c), m.at(2, c)};
    double s[3] = {length(cols[0]), length(cols[1]), length(cols[2])};
    if (dot(cross(cols[0], cols[1]), cols[2]) < 0) s[0] = -s[0];
    d.scale = {s[0], s[1], s[2]};
    if (s[0] == 0 || s[1] == 0 || s[2] == 0 || !std::isfinite(s[0] * s[1] * s[2])) return d;
    Matrix4 r;
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row) r.at(row, c) = m.at(row, c) / s[c];
    d.rotation = scene::rotationFromMatrix(r).normalized();
    return d;
}

} // namespace trimeo::usd
