#include "CameraMath.h"

#include <cmath>
#include <numbers>

namespace trimeo {

using scene::Matrix4;
using scene::Vector3;

double determinant3(const Matrix4& m) {
    return m.at(0, 0) * (m.at(1, 1) * m.at(2, 2) - m.at(1, 2) * m.at(2, 1)) -
           m.at(0, 1) * (m.at(1, 0) * m.at(2, 2) - m.at(1, 2) * m.at(2, 0)) +
           m.at(0, 2) * (m.at(1, 0) * m.at(2, 1) - m.at(1, 1) * m.at(2, 0));
}

namespace {

// Inverse of the upper 3x3 into r's upper 3x3; false when singular.
bool invert3(const Matrix4& m, Matrix4& r) {
    const double det = determinant3(m);
    if (!std::isfinite(det) || std::abs(det) < 1e-300) return false;
    const double inv = 1.0 / det;
    r.at(0, 0) = (m.at(1, 1) * m.at(2, 2) - m.at(1, 2) * m.at(2, 1)) * inv;
    r.at(0, 1) = (m.at(0, 2) * m.at(2, 1) - m.at(0, 1) * m.at(2, 2)) * inv;
    r.at(0, 2) = (m.at(0, 1) * m.at(1, 2) - m.at(0, 2) * m.at(1, 1)) * inv;
    r.at(1, 0) = (m.at(1, 2) * m.at(2, 0) - m.at(1, 0) * m.at(2, 2)) * inv;
    r.at(1, 1) = (m.at(0, 0) * m.at(2, 2) - m.at(0, 2) * m.at(2, 0)) * inv;
    r.at(1, 2) = (m.at(0, 2) * m.at(1, 0) - m.at(0, 0) * m.at(1, 2)) * inv;
    r.at(2, 0) = (m.at(1, 0) * m.at(2, 1) - m.at(1, 1) * m.at(2, 0)) * inv;
    r.at(2, 1) = (m.at(0, 1) * m.at(2, 0) - m.at(0, 0) * m.at(2, 1)) * inv;
    r.at(2, 2) = (m.at(0, 0) * m.at(1, 1) - m.at(0, 1) * m.at(1, 0)) * inv;
    return true;
}

} // namespace

Matrix4 inverseAffine(const Matrix4& m) {
    Matrix4 r;
    if (!invert3(m, r)) return Matrix4::identity();
    for (int row = 0; row < 3; ++row)
        r.at(row, 3) = -(r.at(row, 0) * m.at(0, 3) + r.at(row, 1) * m.at(1, 3) + r.at(row, 2) * m.at(2, 3));
    return r;
}

Matrix4 perspective(double fieldOfViewDegrees, double aspect, double zNear, double zFar) {
    const double f = 1.0 / std::tan(fieldOfViewDegrees * std::numbers::pi / 360.0);
    Matrix4 p;
    p.m.fill(0);
    p.at(0, 0) = f / aspect;
    p.at(1, 1) = f;
    p.at(2, 2) = (zFar + zNear) / (zNear - zFar);
    p.at(2, 3) = 2 * zFar * zNear / (zNear - zFar);
    p.at(3, 2) = -1;
    return p;
}

Matrix4 lookAtView(Vector3 eye, Vector3 target, Vector3 up) {
    const Vector3 f = scene::normalized(target - eye);
    Vector3 s = scene::cross(f, up);
    if (scene::length(s) < 1e-12) s = {1, 0, 0};
    s = scene::normalized(s);
    const Vector3 u = scene::cross(s, f);
    Matrix4 v;
    v.at(0, 0) = s.x, v.at(0, 1) = s.y, v.at(0, 2) = s.z;
    v.at(1, 0) = u.x, v.at(1, 1) = u.y, v.at(1, 2) = u.z;
    v.at(2, 0) = -f.x, v.at(2, 1) = -f.y, v.at(2, 2) = -f.z;
    v.at(0, 3) = -scene::dot(s, eye);
    v.at(1, 3) = -scene::dot(u, eye);
    v.at(2, 3) = scene::dot(f, eye);
    return v;
}

Matrix4 normalMatrix(const Matrix4& model) {
    Matrix4 inv;
    if (!invert3(model, inv)) return Matrix4::identity();
    Matrix4 n;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) n.at(r, c) = inv.at(c, r);
    return n;
}

} // namespace trimeo
