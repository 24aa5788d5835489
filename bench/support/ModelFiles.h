// Generated model files for the benchmarks: one mesh written in each format the viewer
// reads natively, the way common exporters write them.
#pragma once

#include "BenchSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trimeo::bench {

std::vector<std::uint8_t> binarySTL(const Mesh& mesh);
std::vector<std::uint8_t> asciiSTL(const Mesh& mesh); // "%.6f" coordinates
std::vector<std::uint8_t> wavefrontOBJ(const Mesh& mesh);
std::vector<std::uint8_t> binaryPLY(const Mesh& mesh);

// glTF 2.0 with one mesh node: positions (with min/max) and 32-bit indices in one buffer,
// as a GLB's BIN chunk or as a .gltf with the buffer embedded as a base64 data URI.
std::vector<std::uint8_t> binaryGLTF(const Mesh& mesh);
std::vector<std::uint8_t> embeddedGLTF(const Mesh& mesh);

// A 3MF model part (coordinates as millimetres with five decimals, as slicers write them)
// and a package holding it as 3D/3dmodel.model.
std::string threeMFModelXML(const Mesh& mesh);
std::vector<std::uint8_t> threeMFPackage(const std::string& modelXML);

} // namespace trimeo::bench
