#include "formats/usd/StageScene.h"
#include "formats/usd/UsdaParser.h"

#include "SceneQueries.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using trimeo::scene::Vector3;
using trimeo::usd::buildScene;
using trimeo::usd::parseUsda;
using trimeo::usd::Stage;
using trimeo::test::primAt;

namespace {

// Where each drawn node puts its geometry's first vertex, in the root's coordinates.
std::vector<Vector3> firstVertices(const trimeo::scene::Scene& scene) {
    std::vector<Vector3> out;
    for (const auto* n : trimeo::test::geometryNodes(scene)) {
        const auto& v = n->geometry->source(trimeo::scene::Semantic::vertex)->data;
        out.push_back(n->worldTransform().transformPoint({v[0], v[1], v[2]}));
    }
    return out;
}

void expectNear(Vector3 a, Vector3 b, const std::string& what) {
    EXPECT_NEAR(a.x, b.x, 1e-3) << what;
    EXPECT_NEAR(a.y, b.y, 1e-3) << what;
    EXPECT_NEAR(a.z, b.z, 1e-3) << what;
}

const char* const kTriangle = R"(def Mesh "Tri" {
        point3f[] points = [(1,0,0), (0,1,0), (0,0,1)]
        int[] faceVertexCounts = [3]
        int[] faceVertexIndices = [0, 1, 2]
    })";

TEST(UsdInstancing, InstanceablePrimsHoldingTheSamePrimsShareGeometry) {
    const std::string instance = std::string("{\n    ") + kTriangle + "\n}\n";
    Stage stage = parseUsda("#usda 1.0\n"
                            "def Xform \"A\" { double3 xformOp:translate = (10, 0, 0) uniform token[] xformOpOrder = "
                            "[\"xformOp:translate\"] }\n"
                            "def Xform \"B\" " + instance + "def Xform \"C\" " + instance + "def Xform \"Plain\" " + instance);
    // As composition leaves them: each instance holds a copy of its prototype's prims.
    primAt(stage, "/A").children = primAt(stage, "/B").children;
    primAt(stage, "/C/Tri").attributes["points"].value.numbers[0] = 2;
    for (const char* p : {"/A", "/B", "/C"}) primAt(stage, p).instanceable = true;
    auto built = buildScene(stage);
    EXPECT_EQ(built.meshCount, 4u);
    auto geometryOf = [&](const char* path) { return trimeo::test::findNode(*built.scene, path)->childNodes()[0]->geometry; };
    EXPECT_EQ(geometryOf("A"), geometryOf("B"));
    EXPECT_NE(geometryOf("A"), geometryOf("C"));
    EXPECT_NE(geometryOf("Plain"), geometryOf("B")); // not instanceable: its own copy
    expectNear(firstVertices(*built.scene)[0], {11, 0, 0}, "A placed");
    expectNear(firstVertices(*built.scene)[2], {2, 0, 0}, "C its own");
}

// An instancer with two prototypes below it; the triangle's first point is (1, 0, 0).
Stage instancerStage(const std::string& attributes) {
    Stage stage = parseUsda(std::string("#usda 1.0\ndef PointInstancer \"Field\" {\n") + attributes +
                            "\n    def Xform \"Protos\" {\n    " + kTriangle +
                            "\n    def Cube \"Box\" { double size = 2 }\n    }\n}\n");
    primAt(stage, "/Field").relationships["prototypes"] = {"/Field/Protos/Tri", "/Field/Protos/Box"};
    return stage;
}

TEST(UsdInstancing, PointInstancerPlacesEachPrototypeByPositionOrientationAndScale) {
    auto built = buildScene(instancerStage(R"(
        int[] protoIndices = [0, 0, 1, 0, 7]
        point3f[] positions = [(0, 0, 0), (5, 0, 0), (0, 5, 0), (0, 0, 5), (9, 9, 9)]
        quath[] orientations = [(1, 0, 0, 0), (0.7071, 0, 0, 0.7071), (1, 0, 0, 0), (1, 0, 0, 0), (1, 0, 0, 0)]
        float3[] scales = [(1, 1, 1), (1, 1, 1), (1, 1, 1), (3, 1, 1), (1, 1, 1)]
    )"));
    // The prototypes themselves are not drawn; the fifth instance names no prototype.
    EXPECT_EQ(built.meshCount, 4u);
    const auto at = firstVertices(*built.scene);
    ASSERT_EQ(at.size(), 4u);
    expectNear(at[0], {1, 0, 0}, "plain");
    expectNear(at[1], {5, 1, 0}, "turned 90 degrees about z, real part first");
    expectNear(at[3], {3, 0, 5}, "stretched along x");
    const auto box = trimeo::test::findNode(*built.scene, "Box");
    ASSERT_TRUE(box);
    expectNear(box->worldTransform().transformPoint({0, 0, 0}), {0, 5, 0}, "cube");
    // The copies of one prototype share one geometry.
    std::set<const trimeo::scene::Geometry*> distinct;
    for (const auto* n : trimeo::test::geometryNodes(*built.scene)) distinct.insert(n->geometry.get());
    EXPECT_EQ(distinct.size(), 2u);
}

TEST(UsdInstancing, ShortOrMissingArraysPlaceWhatTheyCan) {
    // Orientations and scales of the wrong length are ignored; positions end the list.
    auto built = buildScene(instancerStage(R"(
        int[] protoIndices = [0, 0, 0]
        point3f[] positions = [(0, 0, 0), (2, 0, 0)]
        quath[] orientations = [(0, 1, 0, 0)]
        float3[] scales = [(5, 5, 5)]
    )"));
    const auto at = firstVertices(*built.scene);
    ASSERT_EQ(at.size(), 2u);
    expectNear(at[1], {3, 0, 0}, "second");
    auto none = buildScene(instancerStage("int[] protoIndices = [0]"));
    EXPECT_EQ(none.meshCount, 0u);
}

TEST(UsdInstancing, NestedInstancersMultiplyAndTheCapHolds) {
    // An outer instancer placing an inner one, which places the triangle twice.
    Stage stage = parseUsda(std::string(R"(#usda 1.0
def PointInstancer "Outer" {
    int[] protoIndices = [0, 0, 0]
    point3f[] positions = [(0, 0, 0), (10, 0, 0), (20, 0, 0)]
    def PointInstancer "Inner" {
        int[] protoIndices = [0, 0]
        point3f[] positions = [(0, 0, 0), (0, 10, 0)]
        )") + kTriangle + "\n    }\n}\n");
    primAt(stage, "/Outer").relationships["prototypes"] = {"/Outer/Inner"};
    primAt(stage, "/Outer/Inner").relationships["prototypes"] = {"/Outer/Inner/Tri"};
    auto built = buildScene(stage);
    EXPECT_EQ(built.meshCount, 6u);
    const auto box = trimeo::test::worldBounds(*built.scene);
    EXPECT_EQ(box.max.x, 21);
    EXPECT_EQ(box.max.y, 11);

    // An instancer asking for more copies than allowed gets that many and a count of the rest.
    const std::size_t asked = trimeo::usd::kMaxInstances + 10;
    Stage big = instancerStage("");
    auto& field = primAt(big, "/Field");
    field.attributes["protoIndices"].value.numbers.assign(asked, 0);
    field.attributes["positions"].value.numbers.assign(asked * 3, 0);
    auto capped = buildScene(big);
    EXPECT_EQ(capped.meshCount, trimeo::usd::kMaxInstances);
    EXPECT_EQ(capped.leftOut, 10u);
}

TEST(UsdInstancing, APrototypeHoldingItsOwnInstancerIsPlacedOnce) {
    // Field places Outer, which holds Field: each copy of Outer would place Outer again.
    Stage stage = parseUsda(std::string("#usda 1.0\ndef Xform \"Outer\" {\n    ") + kTriangle +
                            "\n    def PointInstancer \"Field\" { int[] protoIndices = [0, 0]\n"
                            "        point3f[] positions = [(0,0,0), (1,0,0)] }\n}\n");
    primAt(stage, "/Outer/Field").relationships["prototypes"] = {"/Outer"};
    auto built = buildScene(stage);
    // Outer's own triangle, and one inside each of the two copies; their inner fields place nothing.
    EXPECT_EQ(built.meshCount, 3u);
    EXPECT_EQ(built.leftOut, 4u);
}

} // namespace
