// KHR_draco_mesh_compression: a primitive whose positions and triangles are stored as one
// Draco-compressed mesh in a bufferView.
#pragma once

#include "DecodeBudget.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace trimeo::gltf {

struct DecodedMesh {
    std::vector<float> positions;       // x, y, z per point
    std::vector<std::uint32_t> indices; // three per triangle
};

// The mesh `bytes` encode, with the positions of the attribute whose unique id is
// `positionId` (dequantised to floats). Nullopt when the bytes do not decode to a triangle
// mesh, when there is no such attribute, or when the result would exceed `budget`.
std::optional<DecodedMesh> decodeDracoMesh(std::span<const std::uint8_t> bytes, std::int64_t positionId,
                                           DecodeBudget& budget);

} // namespace trimeo::gltf
