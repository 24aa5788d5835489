// Rotations and 4x4 affine matrices for node transforms (column vectors, column-major storage).
#pragma once

#include "Vector3.h"

#include <array>

namespace trimeo::scene {

struct Quaternion {
    double x = 0, y = 0, z = 0, w = 1;

    static Quaternion fromAxisAngle(Vector3 axis, double angle);
    // Euler angles (pitch x, yaw y, roll z) applied roll first, then yaw, then pitch.
    static Quaternion fromEulerAngles(Vector3 angles);
    Vector3 eulerAngles() const;
    Quaternion normalized() const;
    Vector3 rotate(Vector3 v) const;

    friend Quaternion operator*(Quaternion a, Quaternion b);
};

// Shortest-arc spherical interpolation; t in [0, 1].
Quaternion slerp(Quaternion a, Quaternion b, double t);

struct Matrix4 {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // m[col * 4 + row]

    static Matrix4 identity() { return {}; }
    // Translation * rotation * scale: scale applies first.
    static Matrix4 compose(Vector3 translation, Quaternion rotation, Vector3 scale);
    double& at(int row, int col) { return m[col * 4 + row]; }
    double at(int row, int col) const { return m[col * 4 + row]; }
    Vector3 transformPoint(Vector3 p) const;
    Vector3 transformDirection(Vector3 d) const;

    friend Matrix4 operator*(const Matrix4& a, const Matrix4& b);
};

// Rotation part of a pure rotation matrix as a quaternion.
Quaternion rotationFromMatrix(const Matrix4& r);

} // namespace trimeo::scene
