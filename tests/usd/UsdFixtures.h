// usda stages shared by the usd tests, written by hand.
#pragma once

#include <string>

namespace trimeo::test {

// World (Xform, translated and turned) holding a quad "Quad" (one four-sided face, red) and
// a Scope "Parts" with a triangle "Tri" scaled by 2; upAxis Y. Two meshes, three triangles.
extern const char* const kTwoMeshStage;

} // namespace trimeo::test
