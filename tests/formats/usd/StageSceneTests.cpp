#include "formats/usd/StageScene.h"
#include "formats/usd/UsdaParser.h"

#include "UsdFixtures.h"

#include <gtest/gtest.h>

#include <cmath>

using trimeo::scene::Node;
using trimeo::scene::Semantic;
using trimeo::scene::Vector3;
using trimeo::usd::buildScene;
using trimeo::usd::parseUsda;
using trimeo::usd::StageScene;

namespace {

StageScene build(const std::string& body) { return buildScene(parseUsda("#usda 1.0\n" + body)); }

void expectNear(Vector3 a, Vector3 b) {
    EXPECT_NEAR(a.x, b.x, 1e-9);
    EXPECT_NEAR(a.y, b.y, 1e-9);
    EXPECT_NEAR(a.z, b.z, 1e-9);
}

// Where the node's transform sends `p` (its own rotation, scale and translation only).
Vector3 place(const Node& n, Vector3 p) { return n.transform().transformPoint(p); }

std::string xformWith(const std::string& ops) { return "def Xform \"X\" {\n" + ops + "\n}\n"; }

TEST(StageScene, BuildsTheHierarchyGeometryAndColour) {
    StageScene s = buildScene(parseUsda(trimeo::test::kTwoMeshStage));
    EXPECT_EQ(s.meshCount, 2u);
    const auto& roots = s.scene->rootNode->childNodes();
    ASSERT_EQ(roots.size(), 1u);
    const Node& world = *roots[0];
    EXPECT_EQ(world.name, "World");
    expectNear(world.position, {1, 2, 3});
    expectNear(place(world, {1, 0, 0}), {1, 2, 2}); // rotateY 90 takes +X to -Z, then the shift
    ASSERT_EQ(world.childNodes().size(), 2u);

    const Node& quad = *world.childNodes()[0];
    ASSERT_TRUE(quad.geometry);
    EXPECT_EQ(quad.geometry->elements[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    ASSERT_NE(quad.geometry->source(Semantic::normal), nullptr);
    EXPECT_EQ(quad.geometry->vertexCount(), 4u);
    ASSERT_NE(quad.geometry->firstMaterial()->diffuse.color(), nullptr);
    EXPECT_EQ(*quad.geometry->firstMaterial()->diffuse.color(), (trimeo::scene::Color{1, 0, 0, 1}));

    const Node& tri = *world.childNodes()[1]->childNodes()[0];
    EXPECT_EQ(tri.name, "Tri");
    expectNear(tri.scale, {2, 2, 2});
    EXPECT_EQ(tri.geometry->source(Semantic::normal), nullptr);
}

TEST(StageScene, ComposesXformOpsInOrder) {
    struct Case {
        const char* ops;
        Vector3 from, to;
    };
    const Case cases[] = {
        // translate outermost: scale first, then move.
        {"double3 xformOp:translate = (1, 0, 0)\nfloat3 xformOp:scale = (2, 3, 4)\n"
         "uniform token[] xformOpOrder = [\"xformOp:translate\", \"xformOp:scale\"]",
         {1, 1, 1}, {3, 3, 4}},
        {"double3 xformOp:translate = (1, 0, 0)\nfloat3 xformOp:scale = (2, 3, 4)\n"
         "uniform token[] xformOpOrder = [\"xformOp:scale\", \"xformOp:translate\"]",
         {1, 1, 1}, {4, 3, 4}},
        // rotateXYZ turns about X first: +Y -> +Z (X 90), then Z 90 leaves +Z alone.
        {"float3 xformOp:rotateXYZ = (90, 0, 90)\nuniform token[] xformOpOrder = [\"xformOp:rotateXYZ\"]",
         {0, 1, 0}, {0, 0, 1}},
        // rotateZYX turns about Z first: +Y -> -X, then X 90 leaves -X alone.
        {"float3 xformOp:rotateZYX = (90, 0, 90)\nuniform token[] xformOpOrder = [\"xformOp:rotateZYX\"]",
         {0, 1, 0}, {-1, 0, 0}},
        // The value is (x, y, z) whatever the order.
        {"float3 xformOp:rotateZYX = (0, 0, 90)\nuniform token[] xformOpOrder = [\"xformOp:rotateZYX\"]",
         {1, 0, 0}, {0, 1, 0}},
        {"float xformOp:rotateZ:spin = 90\nuniform token[] xformOpOrder = [\"xformOp:rotateZ:spin\"]",
         {1, 0, 0}, {0, 1, 0}},
        // orient is written real part first: 90 degrees about X.
        {"quatf xformOp:orient = (0.70710678, 0.70710678, 0, 0)\nuniform token[] xformOpOrder = [\"xformOp:orient\"]",
         {0, 1, 0}, {0, 0, 1}},
        // The matrix multiplies row vectors: translation sits in the last row.
        {"matrix4d xformOp:transform = ((0, 1, 0, 0), (-1, 0, 0, 0), (0, 0, 1, 0), (5, 6, 7, 1))\n"
         "uniform token[] xformOpOrder = [\"xformOp:transform\"]",
         {1, 0, 0}, {5, 7, 7}},
        // A pivot and its inverse cancel around a rotation.
        {"double3 xformOp:translate:pivot = (1, 0, 0)\nfloat xformOp:rotateZ = 180\n"
         "uniform token[] xformOpOrder = [\"xformOp:translate:pivot\", \"xformOp:rotateZ\", "
         "\"!invert!xformOp:translate:pivot\"]",
         {1, 0, 0}, {1, 0, 0}},
        // Ops not named in the order, and named ops that are missing, change nothing.
        {"double3 xformOp:translate = (1, 0, 0)\nuniform token[] xformOpOrder = [\"xformOp:scale\"]",
         {1, 1, 1}, {1, 1, 1}},
        {"float3 xformOp:scale = (-1, 1, 1)\nuniform token[] xformOpOrder = [\"xformOp:scale\"]",
         {1, 2, 3}, {-1, 2, 3}},
    };
    for (const Case& c : cases) {
        StageScene s = build(xformWith(c.ops));
        ASSERT_EQ(s.scene->rootNode->childNodes().size(), 1u) << c.ops;
        const Node& x = *s.scene->rootNode->childNodes()[0];
        Vector3 got = place(x, c.from);
        EXPECT_NEAR(got.x, c.to.x, 1e-6) << c.ops;
        EXPECT_NEAR(got.y, c.to.y, 1e-6) << c.ops;
        EXPECT_NEAR(got.z, c.to.z, 1e-6) << c.ops;
    }
}

TEST(StageScene, TriangulatesFacesAsFansAndDropsBadOnes) {
    StageScene s = build(R"(def Mesh "M" {
    point3f[] points = [(0,0,0), (1,0,0), (1,1,0), (0,1,0), (0,2,0)]
    int[] faceVertexCounts = [5, 2, 3, 3, 4]
    int[] faceVertexIndices = [0, 1, 2, 3, 4,  0, 1,  0, -1, 2,  4, 3, 9,  0, 1]
})");
    ASSERT_EQ(s.meshCount, 1u);
    const auto& g = *s.scene->rootNode->childNodes()[0]->geometry;
    // Pentagon fan, the two-corner face and the face with -1 dropped, the out-of-range index
    // kept as given, the last face runs past the index list and is dropped.
    EXPECT_EQ(g.elements[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4, 4, 3, 9}));
    EXPECT_EQ(g.validTriangleCount(), 3u);
}

TEST(StageScene, ReversesLeftHandedWindingAndUnsharesFaceVaryingNormals) {
    StageScene s = build(R"(def Mesh "M" {
    uniform token orientation = "leftHanded"
    uniform token subdivisionScheme = "none"
    point3f[] points = [(0,0,0), (1,0,0), (1,1,0), (0,1,0)]
    int[] faceVertexCounts = [3, 3]
    int[] faceVertexIndices = [0, 1, 2, 0, 2, 3]
    normal3f[] normals = [(0,0,1), (0,0,1), (0,0,1), (0,0,-1), (0,0,-1), (0,0,-1)] (interpolation = "faceVarying")
})");
    const auto& g = *s.scene->rootNode->childNodes()[0]->geometry;
    EXPECT_EQ(g.vertexCount(), 6u);
    EXPECT_EQ(g.elements[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    const auto& v = g.source(Semantic::vertex)->data;
    // First triangle's corners in drawing order: 0, 2, 1 of the file.
    EXPECT_EQ(std::vector<float>(v.begin(), v.begin() + 9), (std::vector<float>{0, 0, 0, 1, 1, 0, 1, 0, 0}));
    EXPECT_EQ(g.source(Semantic::normal)->data[17], -1.0f);
}

TEST(StageScene, TurnsZUpToYUp) {
    StageScene s = build(R"((upAxis = "Z")
def Xform "Up" {
    double3 xformOp:translate = (0, 0, 5)
    uniform token[] xformOpOrder = ["xformOp:translate"]
})");
    const Node& up = *s.scene->rootNode->childNodes()[0];
    expectNear(up.position, {0, 5, 0});
    expectNear(place(up, {0, 0, 1}), {0, 6, 0});
}

TEST(StageScene, LeavesOutClassesAndNonGeometryTypes) {
    StageScene s = build(R"(
class Mesh "Proto" { point3f[] points = [(0,0,0),(1,0,0),(0,1,0)] int[] faceVertexCounts = [3] int[] faceVertexIndices = [0,1,2] }
def Material "Looks" { def Shader "S" {} }
def DistantLight "Sun" { float intensity = 2 }
def Mesh "Empty" { point3f[] points = [] }
def Xform "Group" { def Camera "Cam" {} def Mesh "Sub" { def GeomSubset "part" {} } }
)");
    EXPECT_EQ(s.meshCount, 0u);
    const auto& roots = s.scene->rootNode->childNodes();
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0]->name, "Empty");
    EXPECT_FALSE(roots[0]->geometry);
    ASSERT_EQ(roots[1]->childNodes().size(), 1u);
    EXPECT_EQ(roots[1]->childNodes()[0]->name, "Sub");
    EXPECT_TRUE(roots[1]->childNodes()[0]->childNodes().empty());
}

} // namespace

TEST(StageScene, CarriesTheStagesLengthUnit) {
    trimeo::usd::Stage stage = parseUsda(trimeo::test::kTwoMeshStage);
    EXPECT_FALSE(buildScene(stage).scene->metersPerUnit);
    stage.metersPerUnit = 0.01;
    EXPECT_EQ(buildScene(stage).scene->metersPerUnit, 0.01);
}
