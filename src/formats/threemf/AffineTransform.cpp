#include "AffineTransform.h"

#include "NumberParsing.h"

#include <cmath>

namespace trimeo::threemf {
namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
} // namespace

AffineTransform AffineTransform::then(const AffineTransform& outer) const {
    // Rows of the 4x3 matrix: three axes, then the translation (which also takes outer's).
    AffineTransform r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col) {
            double sum = row == 3 ? outer.m[9 + col] : 0.0;
            for (int k = 0; k < 3; ++k) sum += m[row * 3 + k] * outer.m[k * 3 + col];
            r.m[row * 3 + col] = sum;
        }
    return r;
}

void AffineTransform::apply(float* xyz) const {
    const double x = xyz[0], y = xyz[1], z = xyz[2];
    for (int col = 0; col < 3; ++col) xyz[col] = float(x * m[col] + y * m[3 + col] + z * m[6 + col] + m[9 + col]);
}

double AffineTransform::determinant() const {
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[3] * m[7] - m[4] * m[6]);
}

std::optional<AffineTransform> parseTransform(std::string_view text) {
    AffineTransform t;
    std::size_t count = 0, i = 0;
    while (true) {
        while (i < text.size() && isSpace(text[i])) ++i;
        if (i == text.size()) break;
        std::size_t end = i;
        while (end < text.size() && !isSpace(text[end])) ++end;
        if (count == 12) return std::nullopt;
        const std::optional<float> value = parseFloatAttribute(text.substr(i, end - i));
        if (!value || !std::isfinite(*value)) return std::nullopt;
        t.m[count++] = *value;
        i = end;
    }
    if (count != 12) return std::nullopt;
    return t;
}

} // namespace trimeo::threemf
