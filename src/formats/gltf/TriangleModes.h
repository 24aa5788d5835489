// glTF's triangle strips and fans as plain triangle lists, in the winding glTF defines.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace trimeo::gltf {

// Strip: triangle i is (v[i], v[i + 1 + i % 2], v[i + 2 - i % 2]). Fan: (v[i + 1], v[i + 2], v[0]).
// Fewer than three indices give no triangle.
std::vector<std::uint32_t> stripToTriangles(std::span<const std::uint32_t> strip);
std::vector<std::uint32_t> fanToTriangles(std::span<const std::uint32_t> fan);

} // namespace trimeo::gltf
