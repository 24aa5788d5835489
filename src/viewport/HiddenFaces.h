// Which side of a mesh's triangles no eye outside it can ever see. A closed surface wound
// the same way throughout hides its inward-turned faces behind the outward ones; a software
// rasteriser spends as long on those as on the visible side, so the renderer culls them
// while the camera stays outside.
#pragma once

#include "scene/BoundingBox.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace trimeo {

enum class HiddenSide {
    none,  // open, unevenly wound, or enclosing no volume: every face may show
    back,  // wound counter-clockwise seen from outside
    front, // wound clockwise seen from outside
};

struct Enclosure {
    HiddenSide hidden = HiddenSide::none;
    scene::BoundingBox box; // around the triangles' corners
};

// Closed means every directed edge a->b (corners matched by exact position, -0 as 0) is
// matched by an edge b->a, tested by an order-free sum of edge hashes (a false "closed" needs
// a 64-bit hash collision). The side comes from the enclosed signed volume, and is given
// only when every shell reaching the box's six faces agrees with it, so a file whose
// separate shells wind opposite ways keeps every face. `triangles` must be valid for
// `positions` (read with `stride` floats per vertex, at least 3).
Enclosure findEnclosure(std::span<const float> positions, std::size_t stride, std::span<const std::uint32_t> triangles);
// The same over triangles of consecutive corners 0, 1, 2, ... (no index list).
Enclosure findEnclosure(std::span<const float> positions, std::size_t stride, std::size_t sequentialCorners);

} // namespace trimeo
