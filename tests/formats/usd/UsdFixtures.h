// usda stages shared by the usd tests, written by hand.
#pragma once

#include "scene/Scene.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace trimeo::test {

// World (Xform, translated and turned) holding a quad "Quad" (one four-sided face, red) and
// a Scope "Parts" with a triangle "Tri" scaled by 2; upAxis Y. Two meshes, three triangles.
extern const char* const kTwoMeshStage;

} // namespace trimeo::test

namespace trimeo::test {

// Z up; a Mesh turned by orient, rotateXYZ and a transform matrix, with faceVarying normals,
// displayColor and displayOpacity, leftHanded winding, a time-sampled translate (first
// sample (0, 0, 1), a later one elsewhere), float and string attributes, and an over,
// a class and a Material that the scene leaves out or keeps as groups.
extern const char* const kRichStage;

} // namespace trimeo::test

namespace trimeo::test {

// Every composition arc at once, naming the layers the composition fuzzer writes (a.usda,
// b.usda, sub/c.usda, d.usdc, e.usdz) and one that is missing: subLayers, references to
// layers, prims and itself, a payload, inherits, specializes, a selected variant holding a
// payload, relationships and connections.
extern const char* const kArcStage;

// The USD reader on bytes alone: what it read, or the reason it could not.
struct UsdRead {
    std::shared_ptr<scene::Scene> scene;
    std::size_t count = 0;
    std::string error;
};
UsdRead readUsd(std::span<const std::uint8_t> bytes, std::string extension);

} // namespace trimeo::test
