// The 3x4 transforms of 3MF build items and components. The attribute lists twelve numbers
// "m00 m01 m02 m10 m11 m12 m20 m21 m22 m30 m31 m32" of a 4x4 matrix whose last column is
// 0 0 0 1, applied to row vectors: x' = x*m00 + y*m10 + z*m20 + m30, and so on.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace trimeo::threemf {

struct AffineTransform {
    std::array<double, 12> m{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}; // in the attribute's order

    bool isIdentity() const { return m == AffineTransform{}.m; }
    // This transform applied first, then `outer` (a component inside a placed object).
    AffineTransform then(const AffineTransform& outer) const;
    // Transforms the point xyz[0..2] in place.
    void apply(float* xyz) const;
    // Negative for a mirroring transform, which turns every triangle's winding round.
    double determinant() const;
};

// Exactly twelve finite numbers, each in the float rule of model attributes, separated by
// white space (leading and trailing white space allowed). No value otherwise.
std::optional<AffineTransform> parseTransform(std::string_view text);

} // namespace trimeo::threemf
