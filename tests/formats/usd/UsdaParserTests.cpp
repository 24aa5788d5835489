#include "formats/usd/UsdFormatError.h"
#include "formats/usd/UsdaParser.h"

#include "UsdFixtures.h"

#include <gtest/gtest.h>

#include <cmath>

using trimeo::usd::parseUsda;
using trimeo::usd::Specifier;
using trimeo::usd::Stage;
using trimeo::usd::UsdFormatError;

namespace {

std::string layer(const std::string& body) { return "#usda 1.0\n" + body; }

TEST(UsdaParser, ReadsNestedPrimsTypesAndValues) {
    Stage stage = parseUsda(trimeo::test::kTwoMeshStage);
    EXPECT_EQ(stage.upAxis, "Y");
    ASSERT_EQ(stage.rootPrims.size(), 1u);
    const auto& world = stage.rootPrims[0];
    EXPECT_EQ(world.name, "World");
    EXPECT_EQ(world.typeName, "Xform");
    ASSERT_EQ(world.children.size(), 2u);
    const auto& quad = world.children[0];
    EXPECT_EQ(quad.typeName, "Mesh");
    ASSERT_NE(quad.attribute("points"), nullptr);
    EXPECT_EQ(quad.attribute("points")->typeName, "point3f[]");
    EXPECT_EQ(quad.attribute("points")->value.numbers.size(), 12u);
    EXPECT_EQ(quad.attribute("faceVertexIndices")->value.numbers, (std::vector<double>{0, 1, 2, 3}));
    EXPECT_EQ(world.attribute("xformOpOrder")->value.texts,
              (std::vector<std::string>{"xformOp:translate", "xformOp:rotateY"}));
    EXPECT_EQ(world.children[1].children[0].name, "Tri");
}

TEST(UsdaParser, SkipsCommentsMetadataAndWhatItDoesNotRead) {
    Stage stage = parseUsda(layer(R"(
(
    doc = """A (tricky) "doc" ]"""
    upAxis = "Z"   # the stage is Z up
    customLayerData = { string creator = "x(" dictionary d = { int a = 1 } }
    subLayers = [@./other.usda@, @@@odd@name.usda@@@]
)
# a comment with def Mesh "Fake" { }
def Xform "A" (
    prepend references = @./ref.usda@</Root>
    kind = "component"
    variants = { string shape = "round" }
)
{
    rel material:binding = </Looks/Red>
    prepend rel proxyPrim = </B>
    reorder properties = ["b", "a"]
    float radius.connect = </Other.radius>
    custom uniform bool flag = true (doc = "why")
    variantSet "shape" = {
        "round" { def Mesh "Inside" { } }
        "square" (doc = "x") { }
    }
    def "Untyped" { }
    over "Over" { }
    class "Klass" { }
}
)"));
    EXPECT_EQ(stage.upAxis, "Z");
    ASSERT_EQ(stage.rootPrims.size(), 1u);
    const auto& a = stage.rootPrims[0];
    ASSERT_EQ(a.children.size(), 3u); // the variant set's prims stay in the variant
    EXPECT_EQ(a.children[0].typeName, "");
    EXPECT_EQ(a.children[1].specifier, Specifier::over);
    EXPECT_EQ(a.children[2].specifier, Specifier::klass);
    EXPECT_EQ(a.attribute("flag")->value.numbers, std::vector<double>{1});
    ASSERT_NE(a.attribute("radius"), nullptr); // declared by its connection, without a value
    EXPECT_TRUE(a.attribute("radius")->value.numbers.empty());
    EXPECT_EQ(a.attribute("radius")->connections, std::vector<std::string>{"/Other.radius"});
    EXPECT_EQ(a.attribute("material:binding"), nullptr);
    EXPECT_EQ(*a.relationship("material:binding"), std::vector<std::string>{"/Looks/Red"});
    EXPECT_EQ(*a.relationship("proxyPrim"), std::vector<std::string>{"/B"});
    EXPECT_EQ(a.attribute("properties"), nullptr);
    EXPECT_EQ(stage.subLayers, (std::vector<std::string>{"./other.usda", "odd@name.usda"}));
    ASSERT_EQ(a.references.size(), 1u);
    EXPECT_EQ(a.references[0].assetPath, "./ref.usda");
    EXPECT_EQ(a.references[0].primPath, "/Root");
    EXPECT_EQ(a.kind, "component");
    EXPECT_EQ(a.variantSelections.at("shape"), "round");
    ASSERT_EQ(a.variantSets.at("shape").size(), 2u);
    EXPECT_EQ(a.variantSets.at("shape").at("round").children.at(0).name, "Inside");
}

TEST(UsdaParser, KeepsTheFirstTimeSampleOverTheDefault) {
    Stage stage = parseUsda(layer(R"(
def Xform "A" {
    double3 xformOp:translate.timeSamples = { 0: (1, 2, 3), 10: (4, 5, 6), }
    double3 xformOp:translate = (7, 8, 9)
    float3 xformOp:scale = (9, 9, 9)
    float3 xformOp:scale.timeSamples = { 1.5: (2, 2, 2) }
}
)"));
    const auto& a = stage.rootPrims[0];
    EXPECT_EQ(a.attribute("xformOp:translate")->value.numbers, (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(a.attribute("xformOp:scale")->value.numbers, (std::vector<double>{2, 2, 2}));
}

TEST(UsdaParser, ReadsNumberFormsInterpolationAndBlockedValues) {
    Stage stage = parseUsda(layer(R"(
def Mesh "M" {
    float[] a = [-1.5e2, +3, .25, -inf, 7]
    normal3f[] normals = [(0, 0, 1)] (
        interpolation = "faceVarying"
    )
    matrix4d xformOp:transform = ( (1, 0, 0, 0), (0, 1, 0, 0), (0, 0, 1, 0), (5, 6, 7, 1) )
    float b = None
}
)"));
    const auto& m = stage.rootPrims[0];
    const auto& a = m.attribute("a")->value.numbers;
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0], -150);
    EXPECT_EQ(a[1], 3);
    EXPECT_EQ(a[2], 0.25);
    EXPECT_TRUE(std::isinf(a[3]) && a[3] < 0);
    EXPECT_EQ(m.attribute("normals")->interpolation, "faceVarying");
    EXPECT_EQ(m.attribute("xformOp:transform")->value.numbers.size(), 16u);
    EXPECT_EQ(m.attribute("xformOp:transform")->value.numbers[12], 5);
    EXPECT_TRUE(m.attribute("b")->value.numbers.empty());
}

TEST(UsdaParser, ReadsCompositionMetadataListEditsAndLayerMetadata) {
    Stage stage = parseUsda(layer(R"(
(
    defaultPrim = "Asset"
    metersPerUnit = 0.01
    subLayers = [@a.usda@ (offset = 10; scale = 2), @sub/b.usdc@]
)
def Xform "Asset" (
    prepend references = [@x.usda@</X> (offset = 1), </Local>]
    append references = @y.usda@
    delete references = @gone.usda@
    payload = @p.usdz@
    inherits = </_class_Asset>
    specializes = [</Base>]
    prepend variantSets = ["look", "lod"]
    variants = { string look = "red"  string "lod" = "high" }
    active = false
    instanceable = true
)
{
    variantSet "look" = {
        "red" ( prepend references = @red.usda@ ) {
            color3f[] primvars:displayColor = [(1, 0, 0)]
            rel material:binding = </Looks/Red>
        }
    }
    prepend rel targets = [</A>, </B>]
    append rel targets = </C>
    over "Child" ( references = None ) { }
}
)"));
    EXPECT_EQ(stage.defaultPrim, "Asset");
    EXPECT_EQ(stage.metersPerUnit, 0.01);
    EXPECT_EQ(stage.subLayers, (std::vector<std::string>{"a.usda", "sub/b.usdc"}));
    const auto& a = stage.rootPrims.at(0);
    ASSERT_EQ(a.references.size(), 3u);
    EXPECT_EQ(a.references[0].assetPath, "x.usda");
    EXPECT_EQ(a.references[0].primPath, "/X");
    EXPECT_EQ(a.references[1].assetPath, "");
    EXPECT_EQ(a.references[1].primPath, "/Local");
    EXPECT_EQ(a.references[2].assetPath, "y.usda");
    ASSERT_EQ(a.payloads.size(), 1u);
    EXPECT_EQ(a.payloads[0].assetPath, "p.usdz");
    EXPECT_EQ(a.inherits.at(0).primPath, "/_class_Asset");
    EXPECT_EQ(a.specializes.at(0).primPath, "/Base");
    EXPECT_EQ(a.variantSelections.at("look"), "red");
    EXPECT_EQ(a.variantSelections.at("lod"), "high");
    EXPECT_EQ(a.active, false);
    EXPECT_EQ(a.instanceable, true);
    const auto& red = a.variantSets.at("look").at("red");
    EXPECT_EQ(red.references.at(0).assetPath, "red.usda");
    EXPECT_EQ(red.attributes.at("primvars:displayColor").value.numbers, (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(red.relationships.at("material:binding"), std::vector<std::string>{"/Looks/Red"});
    EXPECT_EQ(*a.relationship("targets"), (std::vector<std::string>{"/A", "/B", "/C"}));
    EXPECT_TRUE(a.children.at(0).references.empty());
}

TEST(UsdaParser, RefusesBrokenText) {
    const std::string deep = layer("def \"a\" { int[] x = " + std::string(5000, '[') + std::string(5000, ']') + " }");
    std::string nested = "#usda 1.0\n";
    for (int i = 0; i < 300; ++i) nested += "def \"a\" {";
    for (int i = 0; i < 300; ++i) nested += "}";
    for (const std::string& text : {
             std::string("#usdc 1.0\n"),
             std::string("def Mesh \"NoHeader\" {}"),
             layer("def Mesh \"Open\" {"),
             layer("def Mesh \"S\" { string s = \"unterminated }"),
             layer("def Mesh \"P\" { rel r = </unterminated }"),
             layer("def Mesh \"A\" { int[] a = [1, 2 }"),
             layer("def Mesh \"A\" { int[] a = [1 2] }"),
             layer("def Mesh \"N\" { float a = 1.2.3 }"),
             layer("def Mesh \"T\" { float a.timeSamples = { x: 1 } }"),
             layer("bogus \"Top\" {}"),
             layer("def Mesh {}"),
             deep,
             nested,
         })
        EXPECT_THROW(parseUsda(text), UsdFormatError) << text.substr(0, 60);
}

} // namespace
