#include "formats/threemf/ThreeMFParser.h"

#include "ZipPackage.h"
#include "loading/ModelLoader.h"
#include "formats/common/TemporaryFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <optional>

namespace fs = std::filesystem;
using trimeo::LoaderError;
using trimeo::ModelLoader;
using trimeo::ThreeMFParser;
using trimeo::test::modelXML;
using trimeo::test::tetrahedronMesh;
using trimeo::test::ZipPackage;

namespace {

const char* kMain = "3D/3dmodel.model";

std::string componentsXML(const std::vector<std::string>& paths) {
    std::string extra = "<object id=\"9\" type=\"model\"><components>";
    for (const std::string& p : paths) extra += "<component objectid=\"1\" p:path=\"" + p + "\"/>";
    return modelXML({}, extra + "</components></object>");
}

// Parses packages and checks that no working directory outlives a call, whichever way it ends.
class ParseFixture : public testing::Test {
protected:
    ModelLoader::LoadResult parse(const std::vector<std::uint8_t>& package) {
        const auto before = trimeo::test::temporaryDirectoryEntries();
        ModelLoader::LoadResult result;
        trimeo::ReaderResult read;
        EXPECT_NO_THROW(read = parser_.parse(package));
        result = {read.scene, read.animations, !read.animations.empty()};
        expectCleanedUp(before);
        if (!result.scene) result.scene = std::make_shared<trimeo::scene::Scene>();
        return result;
    }

    LoaderError parseFailure(const std::vector<std::uint8_t>& package) {
        const auto before = trimeo::test::temporaryDirectoryEntries();
        std::optional<LoaderError> error;
        try {
            parser_.parse(package);
        } catch (const LoaderError& e) {
            error = e;
        }
        expectCleanedUp(before);
        if (error) return *error;
        ADD_FAILURE() << "the package loaded";
        return LoaderError::unsupportedFormat("");
    }

    void expectCleanedUp(const std::vector<std::string>& before) {
        EXPECT_EQ(trimeo::test::temporaryDirectoryEntries(), before) << "the import left files behind";
        ASSERT_TRUE(parser_.extractedDir) << "the working directory was made";
        EXPECT_FALSE(fs::exists(*parser_.extractedDir));
    }

    ThreeMFParser parser_;
};

std::vector<std::string> nodeNames(const ModelLoader::LoadResult& result) {
    std::vector<std::string> names;
    for (const auto& node : result.scene->rootNode->childNodes()) names.push_back(node->name.value_or("?"));
    return names;
}

std::vector<float> firstXs(const ModelLoader::LoadResult& result) {
    std::vector<float> xs;
    for (const auto& node : result.scene->rootNode->childNodes())
        xs.push_back(node->geometry->source(trimeo::scene::Semantic::vertex)->data[0]);
    return xs;
}

} // namespace

using ThreeMFParserTest = ParseFixture;

TEST_F(ThreeMFParserTest, TwoObjectsGiveTwoGreyPhysicallyBasedNodes) {
    auto result = parse(ZipPackage().file(kMain, modelXML({tetrahedronMesh(0), tetrahedronMesh(10)})).bytes());
    EXPECT_EQ(nodeNames(result), (std::vector<std::string>{"mesh_0", "mesh_1"}));
    EXPECT_TRUE(result.animations.empty());
    EXPECT_FALSE(result.hasAnimations);
    for (const auto& node : result.scene->rootNode->childNodes()) {
        const auto& geometry = *node->geometry;
        ASSERT_EQ(geometry.materials.size(), 1u);
        EXPECT_EQ(geometry.materials[0].diffuse.color() ? *geometry.materials[0].diffuse.color() : trimeo::scene::Color{},
                  trimeo::scene::Color::systemGray());
        EXPECT_EQ(geometry.materials[0].lightingModel, trimeo::scene::LightingModel::physicallyBased);
        EXPECT_FALSE(geometry.materials[0].isDoubleSided);
        ASSERT_EQ(geometry.sources.size(), 1u);
        ASSERT_EQ(geometry.elements.size(), 1u);
        EXPECT_EQ(geometry.vertexCount(), 4u);
        EXPECT_EQ(geometry.elements[0].indices, (std::vector<std::uint32_t>{0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3}));
        EXPECT_EQ(node->position, trimeo::scene::Vector3());
    }
    EXPECT_EQ(firstXs(result), (std::vector<float>{0, 10}));
}

TEST_F(ThreeMFParserTest, ComponentsResolveWithAndWithoutALeadingSlash) {
    for (const char* path : {"/3D/Objects/part.model", "3D/Objects/part.model"}) {
        auto result = parse(ZipPackage()
                                .file(kMain, componentsXML({path}))
                                .file("3D/Objects/part.model", modelXML({tetrahedronMesh(7)}))
                                .bytes());
        EXPECT_EQ(nodeNames(result), (std::vector<std::string>{"mesh_0"})) << path;
        EXPECT_EQ(firstXs(result), (std::vector<float>{7})) << path;
    }
}

TEST_F(ThreeMFParserTest, ComponentListOrderRepeatsAndMissingFiles) {
    // Main part meshes first, then each component's in list order; a repeat is read again,
    // a missing file is skipped.
    std::string main = componentsXML({"/3D/a.model", "/3D/missing.model", "/3D/b.model", "/3D/a.model"});
    main.insert(main.find("<object id=\"9\""),
                "<object id=\"1\" type=\"model\"><mesh>" + tetrahedronMesh(1) + "</mesh></object>");
    auto result = parse(ZipPackage()
                            .file(kMain, main)
                            .file("3D/a.model", modelXML({tetrahedronMesh(2)}))
                            .file("3D/b.model", modelXML({tetrahedronMesh(3), tetrahedronMesh(4)}))
                            .bytes());
    EXPECT_EQ(nodeNames(result), (std::vector<std::string>{"mesh_0", "mesh_1", "mesh_2", "mesh_3", "mesh_4"}));
    EXPECT_EQ(firstXs(result), (std::vector<float>{1, 2, 3, 4, 2}));
}

TEST_F(ThreeMFParserTest, ComponentsOfAComponentAreIgnored) {
    std::string nested = componentsXML({"/3D/leaf.model"});
    nested.insert(nested.find("<object id=\"9\""), "<object id=\"1\"><mesh>" + tetrahedronMesh(5) + "</mesh></object>");
    auto result = parse(ZipPackage()
                            .file(kMain, componentsXML({"/3D/nested.model"}))
                            .file("3D/nested.model", nested)
                            .file("3D/leaf.model", modelXML({tetrahedronMesh(6)}))
                            .bytes());
    EXPECT_EQ(firstXs(result), (std::vector<float>{5}));
}

TEST_F(ThreeMFParserTest, ComponentPathsCannotReachOutsideThePackage) {
    // A real model file next to the working directory, named from inside the package.
    trimeo::TemporaryFile outside("model");
    trimeo::writeWholeFile(outside.path(), trimeo::test::bytes(modelXML({tetrahedronMesh(99)})));
    const std::string escape = "/../../" + outside.path().filename().string();

    auto result = parse(ZipPackage()
                            .file(kMain, componentsXML({escape, "/3D/inside.model"}))
                            .file("3D/inside.model", modelXML({tetrahedronMesh(1)}))
                            .bytes());
    EXPECT_EQ(firstXs(result), (std::vector<float>{1}));
}

TEST_F(ThreeMFParserTest, ComponentReadsAreBoundedLikeTheUnpacking) {
    const std::string part = modelXML({tetrahedronMesh(2)});
    const std::string main = componentsXML(std::vector<std::string>(50, "/3D/part.model"));
    // Room for the main part and four reads of the component.
    parser_ = ThreeMFParser({main.size() + part.size() * 4, 100});
    auto result = parse(ZipPackage().file(kMain, main).file("3D/part.model", part).bytes());
    EXPECT_EQ(result.scene->rootNode->childNodes().size(), 4u);
}

TEST_F(ThreeMFParserTest, TrianglesBeyondTheVertexListNeverReachTheRenderer) {
    auto result = parse(ZipPackage()
                            .file(kMain, modelXML({"<vertices><vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"1\" y=\"0\" "
                                                   "z=\"0\"/><vertex x=\"0\" y=\"1\" z=\"0\"/></vertices><triangles>"
                                                   "<triangle v1=\"0\" v2=\"1\" v3=\"2\"/>"
                                                   "<triangle v1=\"0\" v2=\"1\" v3=\"3\"/></triangles>",
                                                   "<vertices><vertex x=\"5\" y=\"0\" z=\"0\"/></vertices><triangles>"
                                                   "<triangle v1=\"0\" v2=\"0\" v3=\"7\"/></triangles>"}))
                            .bytes());
    ASSERT_EQ(nodeNames(result), (std::vector<std::string>{"mesh_0", "mesh_1"}));
    const auto& first = *result.scene->rootNode->childNodes()[0]->geometry;
    EXPECT_EQ(first.elements[0].indices.size(), 6u) << "kept as read";
    EXPECT_EQ(first.validTriangleIndices(0), (std::vector<std::uint32_t>{0, 1, 2}));
    // A mesh with vertices but no valid triangle still gives a node, with nothing to draw.
    EXPECT_EQ(result.scene->rootNode->childNodes()[1]->geometry->validTriangleCount(), 0u);
}

TEST_F(ThreeMFParserTest, PackagesWithoutAMainModelPart) {
    for (const auto& package : {trimeo::test::bytes("not a zip archive"), std::vector<std::uint8_t>{},
                                ZipPackage().file("3D/other.model", modelXML({tetrahedronMesh()})).bytes(),
                                ZipPackage().file("3d/3DMODEL.MODEL", modelXML({tetrahedronMesh()})).bytes(),
                                ZipPackage().symlink(kMain, "/etc/hostname").bytes()}) {
        LoaderError e = parseFailure(package);
        EXPECT_EQ(e.kind(), LoaderError::Kind::parseError);
        EXPECT_EQ(e.errorDescription(), "Parse error: 3MF model file not found");
    }
}

TEST_F(ThreeMFParserTest, NoMeshAnywhereIsNoGeometry) {
    for (const std::string& main :
         {modelXML({"<vertices/><triangles><triangle v1=\"0\" v2=\"0\" v3=\"0\"/></triangles>"}),
          componentsXML({"/3D/empty.model", "/3D/missing.model"}), std::string("<model><resou")}) {
        LoaderError e = parseFailure(ZipPackage().file(kMain, main).file("3D/empty.model", modelXML({})).bytes());
        EXPECT_EQ(e.kind(), LoaderError::Kind::noGeometry);
        EXPECT_EQ(e.errorDescription(), "No geometry found in file");
    }
}

TEST_F(ThreeMFParserTest, HostileEntriesDoNotStopTheImport) {
    auto result = parse(ZipPackage()
                            .file("../escape.model", "x")
                            .file("/abs.model", "x")
                            .symlink("3D/link", "/")
                            .file(kMain, modelXML({tetrahedronMesh()}))
                            .bytes());
    EXPECT_EQ(nodeNames(result), (std::vector<std::string>{"mesh_0"}));
    EXPECT_FALSE(fs::exists("/abs.model"));
}

TEST_F(ThreeMFParserTest, ExtractedDirNamesTheLayoutOfTheImport) {
    parse(ZipPackage().file(kMain, modelXML({tetrahedronMesh()})).bytes());
    ASSERT_TRUE(parser_.extractedDir);
    EXPECT_EQ(parser_.extractedDir->filename(), "extracted");
    EXPECT_EQ(parser_.extractedDir->parent_path().parent_path(), fs::temp_directory_path());
    EXPECT_EQ(parser_.extractedDir->parent_path().filename().string().size(), 36u) << "a UUID in its text form";
}

TEST_F(ThreeMFParserTest, BuildItemsAndComponentsPlaceEachObjectWhereTheBuildPutsIt) {
    // As slicers write them: two shapes placed nine times, and a sphere set 10 mm above the
    // cube it sits on by a component in another part of the package.
    std::string items;
    for (int i = 0; i < 9; ++i)
        items += "<item objectid=\"" + std::to_string(1 + i % 2) + "\" transform=\"1 0 0 0 1 0 0 0 1 " +
                 std::to_string(20 * i) + " 0 0\"/>";
    std::string main = modelXML({tetrahedronMesh(), tetrahedronMesh()},
                                "<object id=\"3\"><components><component objectid=\"1\"/><component objectid=\"7\" "
                                "p:path=\"/3D/Objects/sphere.model\" transform=\"1 0 0 0 1 0 0 0 1 0 0 10\"/>"
                                "</components></object>");
    main.replace(main.find("<build/>"), 8,
                 "<build>" + items + "<item objectid=\"3\" transform=\"1 0 0 0 1 0 0 0 1 0 50 0\"/></build>");
    const std::string sphere = "<model><resources><object id=\"7\"><mesh>" + tetrahedronMesh(0.25f) +
                               "</mesh></object></resources></model>";
    auto result = parse(ZipPackage().file(kMain, main).file("3D/Objects/sphere.model", sphere).bytes());
    const auto& nodes = result.scene->rootNode->childNodes();
    ASSERT_EQ(nodes.size(), 11u);
    EXPECT_EQ(nodeNames(result).back(), "mesh_10");
    for (int i = 0; i < 9; ++i) EXPECT_EQ(nodes[i]->geometry->boundingBox().min, trimeo::scene::Vector3(20 * i, 0, 0));
    EXPECT_EQ(nodes[9]->geometry->boundingBox().min, trimeo::scene::Vector3(0, 50, 0));
    EXPECT_EQ(nodes[10]->geometry->boundingBox().min, trimeo::scene::Vector3(0.25, 50, 10));
}

// Real packages written by other tools. Expected figures from placed_bounds.py beside this
// file, which reads the packages with Python's own ZIP and XML readers.
struct RealPackage {
    fs::path path;
    std::size_t nodes, triangles;
    trimeo::scene::Vector3 min, max;
};

class RealPackages : public testing::TestWithParam<RealPackage> {};

TEST_P(RealPackages, LoadThroughTheLoaderWhereTheBuildPlacesThem) {
    const RealPackage& p = GetParam();
    const auto before = trimeo::test::temporaryDirectoryEntries();
    auto result = ModelLoader::load(trimeo::test::readFile(p.path), p.path);
    EXPECT_EQ(trimeo::test::temporaryDirectoryEntries(), before);
    EXPECT_FALSE(result.hasAnimations);
    const auto& nodes = result.scene->rootNode->childNodes();
    ASSERT_EQ(nodes.size(), p.nodes);
    std::size_t triangles = 0;
    trimeo::scene::BoundingBox box;
    for (const auto& node : nodes) {
        triangles += node->geometry->validTriangleCount();
        box.add(node->geometry->boundingBox().transformed(node->transform()));
    }
    EXPECT_EQ(triangles, p.triangles);
    for (auto [got, want] : {std::pair{box.min, p.min}, std::pair{box.max, p.max}}) {
        EXPECT_NEAR(got.x, want.x, 1e-4);
        EXPECT_NEAR(got.y, want.y, 1e-4);
        EXPECT_NEAR(got.z, want.z, 1e-4);
    }
}

const fs::path kPrusa = trimeo::test::sharedFixtures() / "real/3mf/PrusaSlicer";

INSTANTIATE_TEST_SUITE_P(
    Files, RealPackages,
    testing::Values(
        RealPackage{trimeo::test::assimpModels() / "3MF/box.3mf", 1, 12, {0, 0, 0}, {10, 20, 30}},
        RealPackage{trimeo::test::sharedFixtures() / "3mf/box_sliced.3mf", 1, 12, {33.0327, 31.5297, 14.967},
                    {43.1367, 51.7367, 45.275}},
        RealPackage{trimeo::test::sharedFixtures() / "3mf/sphere_prod.3mf", 1, 2880, {35, 33, 16.92}, {55, 53, 36.91999}},
        RealPackage{trimeo::test::sharedFixtures() / "3mf/dodeca_chain_loop.3mf", 1, 7680, {1.58698, 3.96245, 1.59398},
                    {221.461, 144.637, 17.594}},
        RealPackage{trimeo::test::sharedFixtures() / "3mf/dodeca_chain_loop_color.3mf", 1, 7680,
                    {1.58698, 3.96245, 1.59398}, {221.461, 144.637, 17.594}},
        RealPackage{kPrusa / "resources/calibration/cr3d/cube/CR-3D_Dual_Calibration_Cube_Extruder.3mf", 1, 13268,
                    {-17.08533129682718, -18.76396388682718, 0}, {22.91468173682718, 21.23604914682718, 40}},
        RealPackage{kPrusa / "resources/calibration/filament_temp/Temperature calibration.3mf", 1, 12742,
                    {-22.2437496, -2.70000005, 0}, {22.2437496, 2.5, 50}},
        RealPackage{kPrusa / "tests/data/seam_test_object.3mf", 1, 225154, {94.9995003, 89.4980001, 0},
                    {155.0004997, 120.5019999, 48}}),
    [](const testing::TestParamInfo<RealPackage>& info) {
        std::string name = info.param.path.stem().string();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST_F(ThreeMFParserTest, AComponentNamingTheMainPartReadsItsBytesAgain) {
    // The main part is held in memory, its file left empty: a read of it by path still gives it whole.
    std::string main = componentsXML({"/3D/3dmodel.model", "/3D/./3dmodel.model"});
    main.insert(main.find("<object"), "<object id=\"1\"><mesh>" + tetrahedronMesh(3) + "</mesh></object>");
    auto result = parse(ZipPackage().file(kMain, main).bytes());
    EXPECT_EQ(firstXs(result), (std::vector<float>{3, 3, 3}));
}
