#include "formats/usd/MeshGeometry.h"
#include "formats/usd/StageScene.h"
#include "formats/usd/UsdaParser.h"

#include "SceneQueries.h"

#include <gtest/gtest.h>

using trimeo::scene::Color;
using trimeo::scene::Geometry;
using trimeo::scene::Semantic;
using trimeo::usd::buildScene;
using trimeo::usd::parseUsda;

namespace {

// A unit square of two triangular faces, (0 1 2) and (0 2 3), with `extra` properties.
std::string square(const std::string& extra, const char* scheme = "none") {
    return std::string("#usda 1.0\ndef Mesh \"M\" {\n"
                       "point3f[] points = [(0,0,0), (1,0,0), (1,1,0), (0,1,0)]\n"
                       "int[] faceVertexCounts = [3, 3]\nint[] faceVertexIndices = [0, 1, 2, 0, 2, 3]\n") +
           (scheme ? std::string("uniform token subdivisionScheme = \"") + scheme + "\"\n" : "") + extra + "\n}\n";
}

std::shared_ptr<Geometry> geometryOf(const std::string& text) {
    auto built = buildScene(parseUsda(text));
    auto nodes = trimeo::test::geometryNodes(*built.scene);
    return nodes.empty() ? nullptr : nodes[0]->geometry;
}

// The values of a source at each drawn corner, in drawing order.
std::vector<std::vector<float>> perCorner(const Geometry& g, Semantic semantic) {
    std::vector<std::vector<float>> out;
    const auto* s = g.source(semantic);
    if (!s) return out;
    for (std::size_t e = 0; e < g.elements.size(); ++e)
        for (std::uint32_t i : g.elements[e].indices) {
            const auto* v = &s->data[i * s->componentsPerVector];
            out.emplace_back(v, v + s->componentsPerVector);
        }
    return out;
}

using Corners = std::vector<std::vector<float>>;

TEST(MeshPrimvars, NormalsAtEveryInterpolation) {
    const std::vector<float> up{0, 0, 1}, side{1, 0, 0};
    struct Case {
        std::string property;
        std::size_t vertices;
        Corners corners;
    };
    const Case cases[] = {
        {"normal3f[] normals = [(0,0,1)] (interpolation = \"constant\")", 4, Corners(6, up)},
        {"normal3f[] normals = [(0,0,1), (1,0,0)] (interpolation = \"uniform\")", 6, {up, up, up, side, side, side}},
        {"normal3f[] normals = [(0,0,1), (1,0,0), (0,0,1), (1,0,0)]", 4, {up, side, up, up, up, side}},
        {"normal3f[] normals = [(0,0,1), (0,0,1), (1,0,0), (1,0,0), (1,0,0), (0,0,1)] "
         "(interpolation = \"faceVarying\")",
         6, {up, up, side, side, side, up}},
        // Indexed: the values through primvars:normals:indices; primvars:normals beats normals.
        {"normal3f[] primvars:normals = [(1,0,0), (0,0,1)] (interpolation = \"faceVarying\")\n"
         "int[] primvars:normals:indices = [1, 1, 1, 0, 0, 0]\nnormal3f[] normals = [(0,1,0)] "
         "(interpolation = \"constant\")",
         6, {up, up, up, side, side, side}},
        // Varying is per point, like vertex; a count that fits no interpolation tells it.
        {"normal3f[] normals = [(0,0,1), (1,0,0), (0,0,1), (1,0,0)] (interpolation = \"varying\")", 4,
         {up, side, up, up, up, side}},
        {"normal3f[] normals = [(0,0,1), (1,0,0)] (interpolation = \"vertex\")", 6, {up, up, up, side, side, side}},
    };
    for (const Case& c : cases) {
        auto g = geometryOf(square(c.property));
        ASSERT_TRUE(g) << c.property;
        EXPECT_EQ(g->vertexCount(), c.vertices) << c.property;
        EXPECT_EQ(perCorner(*g, Semantic::normal), c.corners) << c.property;
    }
}

TEST(MeshPrimvars, NormalsThatDoNotFitOrAreIgnoredAreLeftToTheRenderer) {
    const char* fitsNothing = "normal3f[] normals = [(0,0,1), (0,0,1), (0,0,1), (0,0,1), (0,0,1)]";
    const char* wrongType = "int[] normals = [0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1]";
    const char* fine = "normal3f[] normals = [(0,0,1), (0,0,1), (0,0,1), (0,0,1)]";
    EXPECT_FALSE(geometryOf(square(fitsNothing))->source(Semantic::normal));
    EXPECT_FALSE(geometryOf(square(wrongType))->source(Semantic::normal));
    // Subdivision surfaces make their own normals: catmullClark, also when unsaid.
    EXPECT_FALSE(geometryOf(square(fine, "catmullClark"))->source(Semantic::normal));
    EXPECT_FALSE(geometryOf(square(fine, nullptr))->source(Semantic::normal));
    EXPECT_TRUE(geometryOf(square(fine))->source(Semantic::normal));
}

TEST(MeshPrimvars, TextureCoordinatesPlainIndexedAndByAnyName) {
    const std::vector<float> a{0, 0}, b{1, 0}, c{1, 1}, d{0, 1};
    struct Case {
        std::string property;
        Corners corners;
    };
    const Case cases[] = {
        {"texCoord2f[] primvars:st = [(0,0), (1,0), (1,1), (0,1)] (interpolation = \"vertex\")", {a, b, c, a, c, d}},
        {"texCoord2f[] primvars:st = [(0,0), (1,0), (1,1), (0,1)] (interpolation = \"faceVarying\")\n"
         "int[] primvars:st:indices = [3, 2, 1, 0, 0, 0]",
         {d, c, b, a, a, a}},
        // Another name serves when there is no st; old files type st as float2[].
        {"texCoord2f[] primvars:UVMap = [(1,1)] (interpolation = \"constant\")", {c, c, c, c, c, c}},
        {"float2[] primvars:st = [(0,1), (1,1)] (interpolation = \"uniform\")", {d, d, d, c, c, c}},
    };
    for (const Case& t : cases) {
        auto g = geometryOf(square(t.property));
        ASSERT_TRUE(g) << t.property;
        EXPECT_EQ(perCorner(*g, Semantic::texcoord), t.corners) << t.property;
    }
    // An index past the values leaves that corner at the origin rather than reading beyond.
    auto g = geometryOf(square("texCoord2f[] primvars:st = [(1,1)] (interpolation = \"faceVarying\")\n"
                               "int[] primvars:st:indices = [0, 0, 0, 0, 0, 7]"));
    EXPECT_EQ(perCorner(*g, Semantic::texcoord), (Corners{c, c, c, c, c, a}));
}

TEST(MeshPrimvars, DisplayColourPerFaceBecomesOneElementPerColour) {
    auto uniform = geometryOf(square("color3f[] primvars:displayColor = [(1,0,0), (0,1,0)] (interpolation = \"uniform\")"));
    ASSERT_EQ(uniform->elements.size(), 2u);
    EXPECT_EQ(uniform->elements[0].indices, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(*uniform->materials[0].diffuse.color(), (Color{1, 0, 0, 1}));
    EXPECT_EQ(*uniform->materials[1].diffuse.color(), (Color{0, 1, 0, 1}));

    // Vertex colours: each face the mean of its corners; opacity the same way.
    auto vertex = geometryOf(square("color3f[] primvars:displayColor = [(1,0,0), (1,0,0), (0,0,1), (0,0,1)] "
                                    "(interpolation = \"vertex\")\n"
                                    "float[] primvars:displayOpacity = [0.5] (interpolation = \"constant\")"));
    ASSERT_EQ(vertex->elements.size(), 2u);
    const Color first = *vertex->materials[0].diffuse.color(), second = *vertex->materials[1].diffuse.color();
    EXPECT_NEAR(first.r, 2.0 / 3, 1.0 / 255);
    EXPECT_NEAR(first.b, 1.0 / 3, 1.0 / 255);
    EXPECT_NEAR(second.r, 1.0 / 3, 1.0 / 255);
    EXPECT_NEAR(first.a, 0.5, 1.0 / 255);

    // More colours than elements allowed fold into one average.
    std::string counts, indices, colours, points;
    const std::size_t faces = trimeo::usd::kMaxColourElements + 1;
    for (std::size_t f = 0; f < faces; ++f) {
        points += "(" + std::to_string(f) + ",0,0), (" + std::to_string(f) + ",1,0), (" + std::to_string(f) + ",0,1),";
        counts += "3,";
        indices += std::to_string(f * 3) + "," + std::to_string(f * 3 + 1) + "," + std::to_string(f * 3 + 2) + ",";
        colours += "(" + std::to_string(double(f) / faces) + ", 0, 0),";
    }
    auto many = geometryOf("#usda 1.0\ndef Mesh \"M\" { point3f[] points = [" + points + "]\nint[] faceVertexCounts = [" +
                           counts + "]\nint[] faceVertexIndices = [" + indices +
                           "]\ncolor3f[] primvars:displayColor = [" + colours + "] (interpolation = \"uniform\") }\n");
    ASSERT_EQ(many->elements.size(), 1u);
    EXPECT_EQ(many->validTriangleCount(), faces);
    EXPECT_NEAR(many->materials[0].diffuse.color()->r, double(faces - 1) / 2 / faces, 1.0 / 255);
}

TEST(MeshPrimvars, DoubleSidedAndSkinnedBindPose) {
    EXPECT_TRUE(geometryOf(square("uniform bool doubleSided = 1"))->materials[0].isDoubleSided);
    EXPECT_FALSE(geometryOf(square(""))->materials[0].isDoubleSided);

    // A skinned mesh stands where its bind transform puts it, whatever its own transform says.
    auto built = buildScene(parseUsda(square(
        "matrix4d primvars:skel:geomBindTransform = ((2,0,0,0), (0,2,0,0), (0,0,2,0), (0,0,5,1))\n"
        "int[] primvars:skel:jointIndices = [0, 0, 0, 0] (elementSize = 1 interpolation = \"vertex\")\n"
        "double3 xformOp:translate = (100, 0, 0)\nuniform token[] xformOpOrder = [\"xformOp:translate\"]")));
    const auto box = trimeo::test::worldBounds(*built.scene);
    EXPECT_EQ(box.min.x, 0);
    EXPECT_EQ(box.max.x, 2);
    EXPECT_EQ(box.min.z, 5);
    EXPECT_EQ(box.max.z, 5);
}

TEST(MeshPrimvars, WorkingGroupPointTypesDrawOnlyThreeVectorArrays) {
    // 16 meshes of 12 triangles each; 8 hold points as arrays of 3-vectors (point3f[], float3[],
    // color3f[], normal3f[] and their double forms), the others int[], double[], a single
    // value or nothing.
    auto built = buildScene(trimeo::test::fixtureStage("schemaTests/usdGeom/meshes/points_types/pointsTypes.usda"));
    EXPECT_EQ(built.meshCount, 8u);
    EXPECT_EQ(trimeo::test::triangleCount(*built.scene), 8u * 12);
    for (const char* name : {"intArray", "point3f", "int", "doubleArray", "empty"})
        EXPECT_FALSE(trimeo::test::findNode(*built.scene, name)->geometry) << name;
}

TEST(MeshPrimvars, WorkingGroupPurposeShowsDefaultAndRenderOnly) {
    // Four cubes of size 2 at x = 0, 3, 6, 9: guide (0) and proxy (6) hidden.
    auto built = buildScene(trimeo::test::fixtureStage("foundation/stage_composition/purpose.usda"));
    EXPECT_EQ(built.meshCount, 2u);
    EXPECT_TRUE(trimeo::test::findNode(*built.scene, "CubeIsRender"));
    EXPECT_TRUE(trimeo::test::findNode(*built.scene, "CubeIsOther"));
    const auto box = trimeo::test::worldBounds(*built.scene);
    EXPECT_NEAR(box.min.x, 2, 1e-9);
    EXPECT_NEAR(box.max.x, 10, 1e-9);
}

TEST(MeshPrimvars, HiddenPrimsAreLeftOutWithWhatTheyHold) {
    auto built = buildScene(parseUsda(R"(#usda 1.0
def Xform "Hidden" { token visibility = "invisible" def Cube "Inside" {} }
def Xform "Guides" { uniform token purpose = "guide" def Sphere "Inside" {} }
def Cube "Shown" {}
)"));
    EXPECT_EQ(built.meshCount, 1u);
    EXPECT_TRUE(trimeo::test::findNode(*built.scene, "Shown"));
}

} // namespace
