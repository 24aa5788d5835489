#include "formats/usd/StageScene.h"
#include "formats/usd/UsdaParser.h"

#include "SceneQueries.h"

#include <gtest/gtest.h>

using trimeo::scene::Color;
using trimeo::scene::Geometry;
using trimeo::scene::Semantic;
using trimeo::usd::buildScene;
using trimeo::usd::parseUsda;
using trimeo::usd::Stage;
using trimeo::test::primAt;

namespace {

// Relationships and connections are set on the parsed stage, as composition leaves them.
void bind(Stage& stage, const std::string& prim, const std::string& material) {
    primAt(stage, prim).relationships["material:binding"] = {material};
}
void connect(Stage& stage, const std::string& prim, const std::string& input, const std::string& target) {
    primAt(stage, prim).attributes[input].connections = {target};
}

const char* const kSquare = R"(
    point3f[] points = [(0,0,0), (1,0,0), (1,1,0), (0,1,0)]
    int[] faceVertexCounts = [3, 3]
    int[] faceVertexIndices = [0, 1, 2, 0, 2, 3]
)";

std::string mesh(const std::string& name, const std::string& extra = "") {
    return "def Mesh \"" + name + "\" {" + kSquare + extra + "}\n";
}

// Material "Red": preview surface constants, its surface connected.
const char* const kRed = R"(
def Material "Red" {
    def Shader "Surface" {
        uniform token info:id = "UsdPreviewSurface"
        color3f inputs:diffuseColor = (1, 0, 0)
        float inputs:opacity = 0.5
        float inputs:metallic = 1
        float inputs:roughness = 0.25
    }
}
)";

std::shared_ptr<Geometry> geometryNamed(const trimeo::usd::StageScene& s, const std::string& name) {
    const auto* n = trimeo::test::findNode(*s.scene, name);
    return n ? n->geometry : nullptr;
}

TEST(UsdMaterials, PreviewSurfaceConstantsThroughTheBinding) {
    Stage stage = parseUsda("#usda 1.0\n" + std::string(kRed) + mesh("M") + mesh("Unbound"));
    connect(stage, "/Red", "outputs:surface", "/Red/Surface.outputs:surface");
    bind(stage, "/M", "/Red");
    auto built = buildScene(stage);
    const auto& m = geometryNamed(built, "M")->materials.at(0);
    EXPECT_EQ(m.name, "Red");
    EXPECT_EQ(m.lightingModel, trimeo::scene::LightingModel::physicallyBased);
    ASSERT_NE(m.diffuse.color(), nullptr);
    EXPECT_EQ(*m.diffuse.color(), (Color{1, 0, 0, 0.5f}));
    EXPECT_EQ(m.metalness, 1.0f);
    EXPECT_EQ(m.roughness, 0.25f);
    EXPECT_FALSE(geometryNamed(built, "Unbound")->materials.at(0).diffuse.hasContents());
}

TEST(UsdMaterials, EmissionLightsAConstantColourAndFallbacksApply) {
    Stage stage = parseUsda(R"(#usda 1.0
def Material "Glow" {
    def Shader "S" {
        uniform token info:id = "UsdPreviewSurface"
        color3f inputs:diffuseColor = (0, 0, 0.25)
        color3f inputs:emissiveColor = (0, 1, 0.5)
    }
}
def Material "Plain" { def Shader "S" { uniform token info:id = "UsdPreviewSurface" float inputs:metallic = nan } }
def Material "NoSurface" { def Shader "S" { uniform token info:id = "ND_standard_surface_surfaceshader" } }
)" + mesh("A") + mesh("B") + mesh("C"));
    // Without a surface connection the material's own preview surface serves.
    bind(stage, "/A", "/Glow");
    bind(stage, "/B", "/Plain");
    bind(stage, "/C", "/NoSurface");
    auto built = buildScene(stage);
    EXPECT_EQ(*geometryNamed(built, "A")->materials[0].diffuse.color(), (Color{0, 1, 0.75f, 1}));
    // The schema's fallbacks: a dark grey, roughness 0.5; a metallic that is no number counts as 0.
    const auto& plain = geometryNamed(built, "B")->materials[0];
    EXPECT_EQ(*plain.diffuse.color(), (Color{0.18f, 0.18f, 0.18f, 1}));
    EXPECT_EQ(plain.roughness, 0.5f);
    EXPECT_EQ(plain.metalness, 0.0f);
    EXPECT_FALSE(geometryNamed(built, "C")->materials[0].diffuse.hasContents());
}

// Material "Wood": a UsdUVTexture feeding diffuseColor, its coordinates read from the
// primvar the material's interface names; `textureInputs` adds to the texture's inputs.
Stage woodStage(const std::string& file, const std::string& textureInputs = "") {
    Stage stage = parseUsda("#usda 1.0\n"
                            "def Material \"Wood\" {\n"
                            "  token inputs:frame:stPrimvarName = \"st0\"\n"
                            "  def Shader \"Surface\" { uniform token info:id = \"UsdPreviewSurface\" }\n"
                            "  def Shader \"Tex\" { uniform token info:id = \"UsdUVTexture\"\n"
                            "    asset inputs:file = @" + file + "@\n"
                            "    float4 inputs:fallback = (0, 0, 1, 1)\n" + textureInputs + "}\n"
                            "  def Shader \"Reader\" { uniform token info:id = \"UsdPrimvarReader_float2\" }\n"
                            "}\n" +
                            mesh("A", "texCoord2f[] primvars:st = [(0,0), (0,0), (0,0), (0,0)] (interpolation = \"vertex\")\n"
                                      "texCoord2f[] primvars:st0 = [(1,1), (1,1), (1,1), (1,1)] (interpolation = \"vertex\")\n") +
                            mesh("B"));
    connect(stage, "/Wood", "outputs:surface", "/Wood/Surface.outputs:surface");
    connect(stage, "/Wood/Surface", "inputs:diffuseColor", "/Wood/Tex.outputs:rgb");
    connect(stage, "/Wood/Tex", "inputs:st", "/Wood/Reader.outputs:result");
    connect(stage, "/Wood/Reader", "inputs:varname", "/Wood.inputs:frame:stPrimvarName");
    bind(stage, "/A", "/Wood");
    bind(stage, "/B", "/Wood");
    return stage;
}

TEST(UsdMaterials, TextureFeedingDiffuseColourIsReadOnceAndUsesItsPrimvar) {
    const std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', 1, 2, 3};
    std::vector<std::string> asked;
    Stage stage = woodStage("textures/wood.png");
    primAt(stage, "/Wood/Tex").attributes["inputs:file"].layer = "sub/look.usda";
    auto built = buildScene(stage, [&](const std::string& path, const std::string& layer) {
        asked.push_back(layer + ":" + path);
        return std::optional(png);
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"sub/look.usda:textures/wood.png"}));
    for (const char* name : {"A", "B"}) {
        const auto* image = geometryNamed(built, name)->materials.at(0).diffuse.image();
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->encoded, png);
    }
    // primvars:st0, the one the reader names, not primvars:st.
    const auto* uv = geometryNamed(built, "A")->source(Semantic::texcoord);
    ASSERT_NE(uv, nullptr);
    EXPECT_EQ(uv->data[0], 1.0f);
}

TEST(UsdMaterials, UnreadableTextureLeavesItsFallbackColour) {
    auto built = buildScene(woodStage("missing.png"), [](const std::string&, const std::string&) { return std::nullopt; });
    EXPECT_EQ(*geometryNamed(built, "A")->materials.at(0).diffuse.color(), (Color{0, 0, 1, 1}));
    auto noReader = buildScene(woodStage("missing.png"));
    EXPECT_EQ(*geometryNamed(noReader, "B")->materials.at(0).diffuse.color(), (Color{0, 0, 1, 1}));
}

TEST(UsdMaterials, TextureScaleAndBiasGoWithTheImageOrFoldIntoTheFallback) {
    const std::string tint = "float4 inputs:scale = (0.5, 2, 0, 1)\nfloat4 inputs:bias = (0.25, 0, 0, 0)\n";
    const auto png = [](const std::string&, const std::string&) { return std::optional(std::vector<std::uint8_t>{1}); };
    const auto built = buildScene(woodStage("wood.png", tint), png);
    const auto& textured = geometryNamed(built, "A")->materials.at(0).diffuse;
    ASSERT_NE(textured.image(), nullptr);
    EXPECT_EQ(textured.scale, (Color{0.5f, 2, 0, 1}));
    EXPECT_EQ(textured.bias, (Color{0.25f, 0, 0, 0}));
    // Fallback (0, 0, 1) scaled and biased: red from the bias alone, blue scaled away.
    const auto missing = buildScene(woodStage("missing.png", tint));
    EXPECT_EQ(*geometryNamed(missing, "A")->materials.at(0).diffuse.color(), (Color{0.25f, 0, 0, 1}));
    // Factors that are no numbers leave the image as it is.
    const auto odd = buildScene(woodStage("wood.png", "float4 inputs:scale = (nan, 1, 1, 1)\nfloat inputs:bias = 3\n"), png);
    EXPECT_EQ(geometryNamed(odd, "A")->materials.at(0).diffuse.scale, Color::white());
    EXPECT_EQ(geometryNamed(odd, "A")->materials.at(0).diffuse.bias, (Color{0, 0, 0, 0}));
}

TEST(UsdMaterials, BindingsInheritDownAndSubsetsBindTheirFaces) {
    Stage stage = parseUsda("#usda 1.0\n" + std::string(kRed) + R"(
def Material "Blue" { def Shader "S" { uniform token info:id = "UsdPreviewSurface" color3f inputs:diffuseColor = (0, 0, 1) } }
def Xform "Group" {
)" + mesh("Inherits") + mesh("Own") + mesh("Split", R"(
    def GeomSubset "Second" { uniform token elementType = "face" uniform token familyName = "materialBind" int[] indices = [1] }
    def GeomSubset "Other" { uniform token familyName = "uv" int[] indices = [0] }
)") + "}\n" + mesh("Subsets", R"(
    def GeomSubset "First" { uniform token familyName = "materialBind" int[] indices = [0, 9, -1] }
    def GeomSubset "Again" { uniform token familyName = "materialBind" int[] indices = [0, 1] }
)"));
    connect(stage, "/Red", "outputs:surface", "/Red/Surface.outputs:surface");
    bind(stage, "/Group", "/Blue");
    bind(stage, "/Group/Own", "/Red");
    bind(stage, "/Group/Split/Second", "/Red");
    bind(stage, "/Group/Split/Other", "/Red"); // not a material family: no effect
    bind(stage, "/Subsets/First", "/Red");
    bind(stage, "/Subsets/Again", "/Blue");
    auto built = buildScene(stage);
    auto colour = [&](const std::string& name, std::size_t i) {
        return *geometryNamed(built, name)->materials.at(i).diffuse.color();
    };
    const Color red{1, 0, 0, 0.5f}, blue{0, 0, 1, 1};
    EXPECT_EQ(colour("Inherits", 0), blue);
    EXPECT_EQ(colour("Own", 0), red);
    const auto split = geometryNamed(built, "Split");
    ASSERT_EQ(split->elements.size(), 2u);
    EXPECT_EQ(split->elements[0].indices, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(colour("Split", 0), blue);
    EXPECT_EQ(colour("Split", 1), red);
    // A face claimed by two subsets keeps the first; indices out of range are skipped.
    const auto subsets = geometryNamed(built, "Subsets");
    ASSERT_EQ(subsets->elements.size(), 2u);
    EXPECT_EQ(colour("Subsets", 0), red);
    EXPECT_EQ(colour("Subsets", 1), blue);
}

TEST(UsdMaterials, WorkingGroupTextureCoordinateTestHoldsFiveTexturedSquares) {
    // Five meshes of two triangles; their points span (-1.2, -1.2, -0.0526) to (1.2, 1.2, 0).
    auto built = buildScene(trimeo::test::fixtureStage("TextureCoordinateTest/TextureCoordinateTest.usda"));
    EXPECT_EQ(built.meshCount, 5u);
    EXPECT_EQ(trimeo::test::triangleCount(*built.scene), 10u);
    const auto box = trimeo::test::worldBounds(*built.scene);
    EXPECT_NEAR(box.min.x, -1.2000002, 1e-6);
    EXPECT_NEAR(box.max.y, 1.2000002, 1e-6);
    EXPECT_NEAR(box.min.z, -0.052591152, 1e-6);
    EXPECT_NEAR(box.max.z, 5.2551184e-07, 1e-6);
    std::size_t textured = 0;
    for (const auto* n : trimeo::test::geometryNodes(*built.scene)) textured += n->geometry->source(Semantic::texcoord) != nullptr;
    EXPECT_EQ(textured, 4u); // the back plane has no coordinates
    // Each corner tints the one white-backed template by its texture's scale; without the
    // image (no reader here) the white fallback takes that tint.
    const std::pair<const char*, Color> corners[] = {{"TopLeftMesh", {0.8f, 0.8f, 0, 1}},
                                                     {"TopRightMesh", {0.8f, 0.080000006f, 0, 1}},
                                                     {"BottomLeftMesh", {0, 0.16000001f, 0.8f, 1}},
                                                     {"BottomRightMesh", {0, 0.8f, 0, 1}}};
    for (const auto& [name, tint] : corners) {
        const auto* corner = trimeo::test::findNode(*built.scene, name);
        ASSERT_TRUE(corner && corner->childNodes().size() == 1 && corner->childNodes()[0]->geometry) << name;
        const Color* colour = corner->childNodes()[0]->geometry->materials.at(0).diffuse.color();
        ASSERT_NE(colour, nullptr) << name;
        EXPECT_EQ(*colour, tint) << name;
    }
}

} // namespace
