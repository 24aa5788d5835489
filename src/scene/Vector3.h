// Three-component vector in double precision, the scene layer's basic value.
#pragma once

#include <cmath>
#include <type_traits>

namespace trimeo::scene {

struct Vector3 {
    double x = 0, y = 0, z = 0;

    constexpr Vector3() = default;
    // From three floats, integers or doubles (mixed too).
    template <class A, class B, class C>
        requires std::is_arithmetic_v<A> && std::is_arithmetic_v<B> && std::is_arithmetic_v<C>
    constexpr Vector3(A x_, B y_, C z_) : x(double(x_)), y(double(y_)), z(double(z_)) {}

    friend constexpr Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend constexpr Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend constexpr Vector3 operator*(Vector3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
    friend constexpr bool operator==(Vector3 a, Vector3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
};

constexpr double dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vector3 cross(Vector3 a, Vector3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vector3 v) { return std::sqrt(dot(v, v)); }
// A zero vector stays zero rather than becoming NaN.
inline Vector3 normalized(Vector3 v) {
    double l = length(v);
    return l > 0 ? v * (1.0 / l) : v;
}

} // namespace trimeo::scene
