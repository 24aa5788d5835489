#include "Transform.h"

#include <algorithm>

namespace trimeo::scene {

Quaternion Quaternion::fromAxisAngle(Vector3 axis, double angle) {
    Vector3 a = scene::normalized(axis);
    double s = std::sin(angle * 0.5);
    return {a.x * s, a.y * s, a.z * s, std::cos(angle * 0.5)};
}

Quaternion operator*(Quaternion a, Quaternion b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quaternion Quaternion::fromEulerAngles(Vector3 e) {
    // R = Rx * Ry * Rz: a vector is turned about z first, then y, then x.
    return fromAxisAngle({1, 0, 0}, e.x) * fromAxisAngle({0, 1, 0}, e.y) * fromAxisAngle({0, 0, 1}, e.z);
}

Vector3 Quaternion::eulerAngles() const {
    Matrix4 r = Matrix4::compose({}, *this, {1, 1, 1});
    double m02 = std::clamp(r.at(0, 2), -1.0, 1.0);
    double y = std::asin(m02);
    if (std::abs(m02) > 0.9999999) // gimbal lock: fold roll into pitch
        return {std::atan2(r.at(2, 1), r.at(1, 1)), y, 0.0};
    return {std::atan2(-r.at(1, 2), r.at(2, 2)), y, std::atan2(-r.at(0, 1), r.at(0, 0))};
}

Quaternion Quaternion::normalized() const {
    double l = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(l > 0)) return {};
    return {x / l, y / l, z / l, w / l};
}

Vector3 Quaternion::rotate(Vector3 v) const {
    Vector3 q{x, y, z};
    Vector3 t = cross(q, v) * 2.0;
    return v + t * w + cross(q, t);
}

Quaternion slerp(Quaternion a, Quaternion b, double t) {
    double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (d < 0) {
        b = {-b.x, -b.y, -b.z, -b.w};
        d = -d;
    }
    double wa = 1 - t, wb = t;
    if (d < 0.9995) {
        double theta = std::acos(d);
        double s = std::sin(theta);
        wa = std::sin((1 - t) * theta) / s;
        wb = std::sin(t * theta) / s;
    }
    return Quaternion{a.x * wa + b.x * wb, a.y * wa + b.y * wb, a.z * wa + b.z * wb, a.w * wa + b.w * wb}
        .normalized();
}

Matrix4 Matrix4::compose(Vector3 t, Quaternion q, Vector3 s) {
    Matrix4 r;
    double xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    double xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    double wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    r.at(0, 0) = (1 - 2 * (yy + zz)) * s.x;
    r.at(1, 0) = (2 * (xy + wz)) * s.x;
    r.at(2, 0) = (2 * (xz - wy)) * s.x;
    r.at(0, 1) = (2 * (xy - wz)) * s.y;
    r.at(1, 1) = (1 - 2 * (xx + zz)) * s.y;
    r.at(2, 1) = (2 * (yz + wx)) * s.y;
    r.at(0, 2) = (2 * (xz + wy)) * s.z;
    r.at(1, 2) = (2 * (yz - wx)) * s.z;
    r.at(2, 2) = (1 - 2 * (xx + yy)) * s.z;
    r.at(0, 3) = t.x;
    r.at(1, 3) = t.y;
    r.at(2, 3) = t.z;
    return r;
}

Vector3 Matrix4::transformPoint(Vector3 p) const {
    return {at(0, 0) * p.x + at(0, 1) * p.y + at(0, 2) * p.z + at(0, 3),
            at(1, 0) * p.x + at(1, 1) * p.y + at(1, 2) * p.z + at(1, 3),
            at(2, 0) * p.x + at(2, 1) * p.y + at(2, 2) * p.z + at(2, 3)};
}

Vector3 Matrix4::transformDirection(Vector3 d) const {
    return {at(0, 0) * d.x + at(0, 1) * d.y + at(0, 2) * d.z,
            at(1, 0) * d.x + at(1, 1) * d.y + at(1, 2) * d.z,
            at(2, 0) * d.x + at(2, 1) * d.y + at(2, 2) * d.z};
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double v = 0;
            for (int k = 0; k < 4; ++k) v += a.at(row, k) * b.at(k, c);
            r.at(row, c) = v;
        }
    return r;
}

Quaternion rotationFromMatrix(const Matrix4& r) {
    double trace = r.at(0, 0) + r.at(1, 1) + r.at(2, 2);
    Quaternion q;
    if (trace > 0) {
        double s = std::sqrt(trace + 1.0) * 2;
        q = {(r.at(2, 1) - r.at(1, 2)) / s, (r.at(0, 2) - r.at(2, 0)) / s, (r.at(1, 0) - r.at(0, 1)) / s, 0.25 * s};
    } else if (r.at(0, 0) > r.at(1, 1) && r.at(0, 0) > r.at(2, 2)) {
        double s = std::sqrt(1.0 + r.at(0, 0) - r.at(1, 1) - r.at(2, 2)) * 2;
        q = {0.25 * s, (r.at(0, 1) + r.at(1, 0)) / s, (r.at(0, 2) + r.at(2, 0)) / s, (r.at(2, 1) - r.at(1, 2)) / s};
    } else if (r.at(1, 1) > r.at(2, 2)) {
        double s = std::sqrt(1.0 + r.at(1, 1) - r.at(0, 0) - r.at(2, 2)) * 2;
        q = {(r.at(0, 1) + r.at(1, 0)) / s, 0.25 * s, (r.at(1, 2) + r.at(2, 1)) / s, (r.at(0, 2) - r.at(2, 0)) / s};
    } else {
        double s = std::sqrt(1.0 + r.at(2, 2) - r.at(0, 0) - r.at(1, 1)) * 2;
        q = {(r.at(0, 2) + r.at(2, 0)) / s, (r.at(1, 2) + r.at(2, 1)) / s, 0.25 * s, (r.at(1, 0) - r.at(0, 1)) / s};
    }
    return q.normalized();
}

} // namespace trimeo::scene
