// Meshes whose answers are known by hand, and the binary STL that holds them.
#pragma once

#include "scene/Vector3.h"

#include <cstdint>
#include <vector>

namespace trimeo::test {

struct Triangle {
    scene::Vector3 a, b, c;
};

// The unit cube over its 8 shared corners, corner i at (i & 1, i >> 1 & 1, i >> 2 & 1), and
// its 12 triangles, counter-clockwise seen from outside.
std::vector<float> unitCubeCorners();
extern const std::vector<std::uint32_t> unitCubeTriangles;
// The same 12 triangles over the box [lo, hi], each with corners of its own.
std::vector<Triangle> boxTriangles(scene::Vector3 lo, scene::Vector3 hi);
// A UV sphere of radius 1 about the origin, rings x segments quads, wound outward.
std::vector<Triangle> sphereTriangles(int rings, int segments);
// Zero normals and attributes, as many exporters write them.
std::vector<std::uint8_t> binarySTL(const std::vector<Triangle>& triangles);

} // namespace trimeo::test
