#include "formats/threemf/ThreeMFXMLParser.h"

#include "ZipPackage.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using trimeo::ThreeMFXMLParser;
using trimeo::test::bytes;

namespace {

ThreeMFXMLParser::ParseResult read(const std::string& xml) {
    std::vector<std::uint8_t> data = bytes(xml);
    return ThreeMFXMLParser(data).parse();
}

// A document whose only content is `body` inside <model>.
ThreeMFXMLParser::ParseResult readBody(const std::string& body) { return read("<model>" + body + "</model>"); }

std::string vertex(const std::string& x, const std::string& y, const std::string& z) {
    return "<vertex x=\"" + x + "\" y=\"" + y + "\" z=\"" + z + "\"/>";
}

std::string triangle(const std::string& v1, const std::string& v2, const std::string& v3) {
    return "<triangle v1=\"" + v1 + "\" v2=\"" + v2 + "\" v3=\"" + v3 + "\"/>";
}

} // namespace

TEST(ThreeMFXMLParser, ReadsVerticesAndTrianglesInDocumentOrder) {
    auto result = readBody("<mesh><vertices>" + vertex("0", "0", "0") + vertex("1.5", "0", "0") +
                           vertex("0", "2", "0") + vertex("0", "0", "-3") + "</vertices><triangles>" +
                           triangle("0", "1", "2") + triangle("3", "2", "1") + "</triangles></mesh>");
    ASSERT_EQ(result.meshes.size(), 1u);
    const auto& mesh = result.meshes[0];
    EXPECT_EQ(mesh.vertices, (std::vector<float>{0, 0, 0, 1.5f, 0, 0, 0, 2, 0, 0, 0, -3}));
    EXPECT_EQ(mesh.vertex(3), trimeo::scene::Vector3(0.0, 0.0, -3.0));
    EXPECT_EQ(mesh.triangles, (std::vector<std::uint32_t>{0, 1, 2, 3, 2, 1}));
    EXPECT_TRUE(result.componentPaths.empty());
}

TEST(ThreeMFXMLParser, ElementNamesCompareLowerCasedAttributeNamesExactly) {
    auto result = readBody("<Mesh><VERTICES><Vertex x=\"1\" y=\"2\" z=\"3\"/><vertex X=\"9\" y=\"9\" z=\"9\"/>"
                           "</VERTICES><TriAngles><TRIANGLE v1=\"0\" v2=\"0\" v3=\"0\"/>"
                           "<triangle V1=\"0\" v2=\"0\" v3=\"0\"/></TriAngles></Mesh>"
                           "<MESH><vertices><vertex x=\"4\" y=\"5\" z=\"6\"/></vertices></MESH>");
    ASSERT_EQ(result.meshes.size(), 2u);
    EXPECT_EQ(result.meshes[0].vertices, (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(result.meshes[0].triangles, (std::vector<std::uint32_t>{0, 0, 0}));
    EXPECT_EQ(result.meshes[1].vertices, (std::vector<float>{4, 5, 6}));
}

TEST(ThreeMFXMLParser, AnInvalidNumberDropsOnlyItsElement) {
    auto result = readBody("<mesh><vertices>" + vertex("0", "abc", "0") + vertex(" 1", "0", "0") +
                           "<vertex x=\"1\" y=\"1\"/>" + vertex("1e2", "0", "0") + vertex("0", "0", "0x1p1") +
                           "</vertices><triangles>" + triangle("-1", "0", "0") + triangle("+7", "0", "1") +
                           triangle("4294967296", "0", "0") + triangle("4294967295", "-0", "1") +
                           triangle("1", "2", "") + "</triangles></mesh>");
    ASSERT_EQ(result.meshes.size(), 1u);
    // The dropped vertices leave no gap: the valid ones take the next positions.
    EXPECT_EQ(result.meshes[0].vertices, (std::vector<float>{100, 0, 0, 0, 0, 2}));
    // Indices are kept as read, even those beyond the vertex count.
    EXPECT_EQ(result.meshes[0].triangles, (std::vector<std::uint32_t>{7, 0, 1, 4294967295u, 0, 1}));
}

TEST(ThreeMFXMLParser, CommitRules) {
    // Vertices without triangles: committed. No valid vertex: not committed.
    auto result = readBody("<mesh><vertices>" + vertex("1", "1", "1") + "</vertices><triangles/></mesh>"
                           "<mesh><vertices>" + vertex("x", "1", "1") + "</vertices><triangles>" +
                           triangle("0", "0", "0") + "</triangles></mesh>");
    ASSERT_EQ(result.meshes.size(), 1u);
    EXPECT_TRUE(result.meshes[0].triangles.empty());

    // Meshes come in the order their end tags arrive; a mesh start drops an open builder.
    result = readBody("<mesh><vertices>" + vertex("1", "0", "0") + "</vertices>"
                      "<mesh><vertices>" + vertex("2", "0", "0") + "</vertices></mesh></mesh>"
                      "<mesh><vertices>" + vertex("3", "0", "0") + "</vertices></mesh>");
    ASSERT_EQ(result.meshes.size(), 2u);
    EXPECT_EQ(result.meshes[0].vertices[0], 2.0f);
    EXPECT_EQ(result.meshes[1].vertices[0], 3.0f);
}

TEST(ThreeMFXMLParser, FlagsChangeOnlyAtTheirOwnElements) {
    // Outside a list element, or outside any mesh, vertices and triangles are dropped.
    auto result = readBody(vertex("9", "9", "9") + "<vertices>" + vertex("9", "9", "9") + "</vertices>"
                           "<mesh>" + vertex("8", "8", "8") + "<vertices>" + vertex("1", "0", "0") + "</vertices>" +
                           triangle("0", "0", "0") + "</mesh>");
    ASSERT_EQ(result.meshes.size(), 1u);
    EXPECT_EQ(result.meshes[0].vertices, (std::vector<float>{1, 0, 0}));
    EXPECT_TRUE(result.meshes[0].triangles.empty());

    // A mesh start does not clear an open vertices element.
    result = readBody("<vertices><mesh>" + vertex("4", "5", "6") + "</mesh></vertices>");
    ASSERT_EQ(result.meshes.size(), 1u);
    EXPECT_EQ(result.meshes[0].vertices, (std::vector<float>{4, 5, 6}));
}

TEST(ThreeMFXMLParser, ComponentPaths) {
    auto result = readBody("<component objectid=\"1\" p:path=\"/3D/part1.model\"/>"
                           "<component objectid=\"2\" p:path=\"/3D/part2.MODEL\"/>"
                           "<Component PATH=\"3D/part3.model\" transform=\"1 0 0 0 1 0 0 0 1 0 0 0\"/>"
                           "<component objectid=\"4\"/>"
                           "<resources><object><components>"
                           "<component mypathname=\"a.model\" otherpath=\"b.model\"/></components></object></resources>");
    EXPECT_EQ(result.componentPaths,
              (std::vector<std::string>{"/3D/part1.model", "3D/part3.model", "a.model"}));
    EXPECT_TRUE(result.meshes.empty());
}

TEST(ThreeMFXMLParser, PrefixedNamesGiveNothing) {
    auto result = read("<m:model xmlns:m=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">"
                       "<m:resources><m:object id=\"1\"><m:mesh><m:vertices>"
                       "<m:vertex x=\"1\" y=\"2\" z=\"3\"/></m:vertices></m:mesh></m:object></m:resources></m:model>");
    EXPECT_TRUE(result.meshes.empty());
    result = readBody("<mesh><vertices><vertex m:x=\"1\" m:y=\"2\" m:z=\"3\"/></vertices></mesh>");
    EXPECT_TRUE(result.meshes.empty());
}

TEST(ThreeMFXMLParser, AFaultKeepsTheMeshesCompletedBeforeIt) {
    const std::string document = trimeo::test::modelXML({trimeo::test::tetrahedronMesh(0), trimeo::test::tetrahedronMesh(5)});
    const std::size_t secondMesh = document.find("<mesh>", document.find("</mesh>"));
    ASSERT_NE(secondMesh, std::string::npos);
    const std::size_t cut = document.find("<triangles>", secondMesh);
    auto result = read(document.substr(0, cut));
    ASSERT_EQ(result.meshes.size(), 1u);
    EXPECT_EQ(result.meshes[0].vertexCount(), 4u);
    EXPECT_EQ(result.meshes[0].triangles.size(), 12u);

    // A syntax error inside the second mesh, then a third mesh: only the first survives.
    std::string broken = document;
    broken.insert(cut, "<vertex x=\"1\" x=\"2\"/>");
    result = read(broken);
    EXPECT_EQ(result.meshes.size(), 1u);

    EXPECT_EQ(read(document).meshes.size(), 2u);
    EXPECT_TRUE(read("").meshes.empty());
    EXPECT_TRUE(read("\x89PNG\r\n not xml at all").meshes.empty());
}

TEST(ThreeMFXMLParser, EntitiesAndEncodingsAreThoseOfXML) {
    // Character references and internal entities expand in attribute values.
    auto result = read("<!DOCTYPE model [<!ENTITY one \"1\">]><model><mesh><vertices>"
                       "<vertex x=\"&one;\" y=\"&#50;\" z=\"&#x33;.5\"/></vertices></mesh></model>");
    ASSERT_EQ(result.meshes.size(), 1u);
    EXPECT_EQ(result.meshes[0].vertices, (std::vector<float>{1, 2, 3.5f}));

    // Exponential entity expansion is refused by the XML reader rather than exhausting memory.
    std::string laughs = "<!DOCTYPE model [<!ENTITY a0 \"1111111111\">";
    for (int i = 1; i < 10; ++i) {
        std::string prev = "&a" + std::to_string(i - 1) + ";";
        std::string value;
        for (int k = 0; k < 10; ++k) value += prev;
        laughs += "<!ENTITY a" + std::to_string(i) + " \"" + value + "\">";
    }
    laughs += "]><model><component path=\"&a9;.model\"/></model>";
    result = read(laughs);
    EXPECT_TRUE(result.componentPaths.empty());
}
