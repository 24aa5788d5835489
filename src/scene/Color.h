// RGBA colour in linear 0..1 components, plus the named colours the viewer uses.
#pragma once

namespace trimeo::scene {

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
    friend constexpr bool operator==(Color, Color) = default;

    constexpr Color withAlpha(float alpha) const { return {r, g, b, alpha}; }

    // Default surface colour for models that bring no material of their own.
    static constexpr Color systemGray() { return {0.557f, 0.557f, 0.576f, 1}; }
    // Grid line colour before its alpha is applied.
    static constexpr Color gray() { return {0.5f, 0.5f, 0.5f, 1}; }
    static constexpr Color white() { return {1, 1, 1, 1}; }
};

} // namespace trimeo::scene
