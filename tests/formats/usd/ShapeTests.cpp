#include "formats/usd/Shapes.h"
#include "formats/usd/StageScene.h"
#include "formats/usd/UsdaParser.h"

#include "SceneQueries.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>

using trimeo::scene::BoundingBox;
using trimeo::scene::Semantic;
using trimeo::scene::Vector3;
using trimeo::usd::buildScene;
using trimeo::usd::kShapeSlices;
using trimeo::usd::parseUsda;

namespace {

void expectBox(const BoundingBox& box, Vector3 min, Vector3 max, const std::string& what) {
    EXPECT_NEAR(box.min.x, min.x, 1e-5) << what;
    EXPECT_NEAR(box.min.y, min.y, 1e-5) << what;
    EXPECT_NEAR(box.min.z, min.z, 1e-5) << what;
    EXPECT_NEAR(box.max.x, max.x, 1e-5) << what;
    EXPECT_NEAR(box.max.y, max.y, 1e-5) << what;
    EXPECT_NEAR(box.max.z, max.z, 1e-5) << what;
}

// Every triangle's winding agrees with the normals at its corners: it faces outwards.
void expectOutwardWinding(const trimeo::scene::Geometry& g, const std::string& what) {
    const auto& v = g.source(Semantic::vertex)->data;
    const auto& n = g.source(Semantic::normal)->data;
    std::size_t wrong = 0;
    const auto tris = g.validTriangleIndices(0);
    for (std::size_t t = 0; t + 2 < tris.size(); t += 3) {
        const float* a = &v[tris[t] * 3];
        const float* b = &v[tris[t + 1] * 3];
        const float* c = &v[tris[t + 2] * 3];
        const Vector3 e1{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const Vector3 face = cross(e1, e2);
        Vector3 normal;
        for (int k = 0; k < 3; ++k) {
            const float* m = &n[tris[t + k] * 3];
            normal = normal + Vector3{m[0], m[1], m[2]};
        }
        if (dot(face, normal) <= 0) ++wrong;
    }
    EXPECT_EQ(wrong, 0u) << what;
}

TEST(Shapes, EachShapeHasItsTrianglesSizeAndOutwardFaces) {
    struct Case {
        const char* prim;
        std::size_t triangles;
        Vector3 min, max;
    };
    const std::size_t n = kShapeSlices, stacks = n / 2;
    const Case cases[] = {
        {"def Cube \"S\" {}", 12, {-1, -1, -1}, {1, 1, 1}},
        {"def Cube \"S\" { double size = 3 }", 12, {-1.5, -1.5, -1.5}, {1.5, 1.5, 1.5}},
        {"def Sphere \"S\" { double radius = 2 }", n * (2 * stacks - 2), {-2, -2, -2}, {2, 2, 2}},
        {"def Cylinder \"S\" {}", 4 * n, {-1, -1, -1}, {1, 1, 1}},
        {"def Cylinder \"S\" { double radius = 0.5 double height = 4 uniform token axis = \"X\" }", 4 * n,
         {-2, -0.5, -0.5}, {2, 0.5, 0.5}},
        {"def Cone \"S\" { double radius = 2 double height = 1 uniform token axis = \"Y\" }", 2 * n,
         {-2, -0.5, -2}, {2, 0.5, 2}},
        // The caps add a radius beyond each end of the straight part.
        {"def Capsule \"S\" {}", n * (2 * (stacks + 1) - 2), {-0.5, -0.5, -1}, {0.5, 0.5, 1}},
        {"def Capsule \"S\" { double radius = 1 double height = 2 uniform token axis = \"Y\" }",
         n * (2 * (stacks + 1) - 2), {-1, -2, -1}, {1, 2, 1}},
        {"def Plane \"S\" {}", 2, {-1, -1, 0}, {1, 1, 0}},
        {"def Plane \"S\" { double width = 4 double length = 6 uniform token axis = \"X\" }", 2, {0, -3, -2},
         {0, 3, 2}},
        {"def Plane \"S\" { double width = 4 double length = 6 uniform token axis = \"Y\" }", 2, {-2, 0, -3},
         {2, 0, 3}},
    };
    for (const Case& c : cases) {
        auto built = buildScene(parseUsda(std::string("#usda 1.0\n") + c.prim));
        ASSERT_EQ(built.meshCount, 1u) << c.prim;
        EXPECT_EQ(trimeo::test::triangleCount(*built.scene), c.triangles) << c.prim;
        expectBox(trimeo::test::worldBounds(*built.scene), c.min, c.max, c.prim);
        expectOutwardWinding(*trimeo::test::geometryNodes(*built.scene)[0]->geometry, c.prim);
    }
}

TEST(Shapes, TakeDisplayColourAndSidednessAndRefuseBadSizes) {
    auto built = buildScene(parseUsda(R"(#usda 1.0
def Sphere "Red" { color3f[] primvars:displayColor = [(1, 0, 0)] }
def Plane "Flat" {}
def Cube "OneSided" { uniform bool doubleSided = 0 }
def Cube "Nan" { double size = nan }
)"));
    EXPECT_EQ(built.meshCount, 3u);
    const auto* red = trimeo::test::findNode(*built.scene, "Red");
    ASSERT_TRUE(red && red->geometry);
    ASSERT_NE(red->geometry->firstMaterial()->diffuse.color(), nullptr);
    EXPECT_EQ(*red->geometry->firstMaterial()->diffuse.color(), (trimeo::scene::Color{1, 0, 0, 1}));
    // Planes are double-sided unless they say otherwise; the other shapes are not.
    EXPECT_TRUE(trimeo::test::findNode(*built.scene, "Flat")->geometry->firstMaterial()->isDoubleSided);
    EXPECT_FALSE(trimeo::test::findNode(*built.scene, "OneSided")->geometry->firstMaterial()->isDoubleSided);
    EXPECT_FALSE(red->geometry->firstMaterial()->isDoubleSided);
    EXPECT_FALSE(trimeo::test::findNode(*built.scene, "Nan")->geometry);
}

TEST(Shapes, WorkingGroupPrimitivesFileShowsFiveShapesInARow) {
    const auto path = trimeo::test::sharedFixtures() /
                      "real/usd/usd-wg-assets/test_assets/schemaTests/usdGeom/primitives/all_primitives.usda";
    const auto bytes = trimeo::test::readFile(path);
    auto built = buildScene(parseUsda({reinterpret_cast<const char*>(bytes.data()), bytes.size()}));
    EXPECT_EQ(built.meshCount, 5u);
    // Capsule (radius 0.5, height 1, axis Z) at x 0 to the sphere (radius 1) at x 8; the
    // file's own extents say the same: z from -1 to 1 for all five.
    expectBox(trimeo::test::worldBounds(*built.scene), {-0.5, -1, -1}, {9, 1, 1}, "all_primitives");
}

} // namespace
