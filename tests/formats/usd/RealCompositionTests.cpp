// The USD working group's composition assets, composed and compared with what their
// layers hold (read by hand: prim names, types and the values each layer authors).
#include "formats/common/RelatedFiles.h"
#include "formats/usd/Composition.h"
#include "formats/usd/LayerFiles.h"
#include "formats/usd/UsdReader.h"

#include "SceneQueries.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using trimeo::RelatedFiles;
using namespace trimeo::usd;

namespace {

fs::path assets() { return trimeo::test::sharedFixtures() / "real/usd/usd-wg-assets/test_assets/foundation"; }

struct Composed {
    Stage stage;
    std::map<std::string, std::string> failures;
};

Composed composeFixture(const std::string& name) {
    const fs::path file = assets() / name;
    const auto bytes = trimeo::test::readFile(file);
    RelatedFiles related(file);
    LayerFiles files(related);
    auto model = files.openModel(bytes, "usda");
    return {compose(model, files).stage, files.failures()};
}

const Prim* child(const Prim* p, const std::string& name) {
    if (!p) return nullptr;
    for (const Prim& c : p->children)
        if (c.name == name) return &c;
    return nullptr;
}

const Prim* world(const Stage& stage) {
    for (const Prim& p : stage.rootPrims)
        if (p.name == "World") return &p;
    return nullptr;
}

std::vector<std::string> childNames(const Prim* p) {
    std::vector<std::string> names;
    if (p)
        for (const Prim& c : p->children) names.push_back(c.name);
    return names;
}

TEST(RealComposition, ReferencesPayloadsAndSublayersBringTheirCube) {
    for (const char* name : {"stage_composition/references/reference_same_folder.usda",
                             "stage_composition/references/reference_child_folder.usda",
                             "stage_composition/payload/payload_same_folder.usda",
                             "stage_composition/payload/payload_child_folder.usda",
                             "stage_composition/subLayer/sublayer_same_folder.usda",
                             "stage_composition/subLayer/sublayer_child_folder.usda"}) {
        const Composed c = composeFixture(name);
        const Prim* cube = child(world(c.stage), "Cube");
        ASSERT_NE(cube, nullptr) << name;
        EXPECT_EQ(cube->typeName, "Cube") << name;
        EXPECT_TRUE(c.failures.empty()) << name;
    }
}

TEST(RealComposition, UnreachableLayersAreNamedWithTheirReason) {
    for (const char* name : {"stage_composition/references/reference_invalid.usda",
                             "stage_composition/payload/payload_invalid.usda",
                             "stage_composition/subLayer/sublayer_invalid.usda"}) {
        const Composed c = composeFixture(name);
        ASSERT_EQ(c.failures.size(), 1u) << name;
        EXPECT_EQ(c.failures.begin()->second, "not found") << name;
    }
}

// Their layers sit one folder up (_parent_stage.usda: a Cube of size 2) or three
// (_common/axis.usda: three Cubes scaled to bars 2 long and 0.2 thick, 1.1 out along X, Y
// and Z). The root layer's upAxis holds: Z turns the bars a quarter about X; "X" and
// "invalid" are not axes a stage may have, so they stay Y up.
TEST(RealComposition, LayersAboveTheModelsFolderBringTheirGeometry) {
    using trimeo::scene::Vector3;
    struct Case {
        const char* name;
        std::size_t triangles;
        Vector3 min, max;
    };
    const Vector3 cubeMin{-1, -1, -1}, cubeMax{1, 1, 1}, barsMin{-0.1, -0.1, -0.1}, barsMax{2.1, 2.1, 2.1};
    const Case cases[] = {
        {"stage_composition/references/reference_parent_folder.usda", 12, cubeMin, cubeMax},
        {"stage_composition/payload/payload_parent_folder.usda", 12, cubeMin, cubeMax},
        {"stage_composition/subLayer/sublayer_parent_folder.usda", 12, cubeMin, cubeMax},
        {"stage_configuration/upAxis/upAxis_X.usda", 36, barsMin, barsMax},
        {"stage_configuration/upAxis/upAxis_Y.usda", 36, barsMin, barsMax},
        {"stage_configuration/upAxis/upAxis_invalid.usda", 36, barsMin, barsMax},
        {"stage_configuration/upAxis/upAxis_Z.usda", 36, {-0.1, -0.1, -2.1}, {2.1, 2.1, 0.1}},
    };
    for (const Case& c : cases) {
        const fs::path file = assets() / c.name;
        const auto bytes = trimeo::test::readFile(file);
        RelatedFiles related(file);
        const auto read = readUsd({bytes, "usda", related});
        ASSERT_TRUE(read && read->scene) << c.name;
        EXPECT_EQ(trimeo::test::triangleCount(*read->scene), c.triangles) << c.name;
        EXPECT_TRUE(related.refusals().empty()) << c.name;
        const auto box = trimeo::test::worldBounds(*read->scene);
        const std::pair<double, double> sides[] = {{box.min.x, c.min.x}, {box.min.y, c.min.y}, {box.min.z, c.min.z},
                                                   {box.max.x, c.max.x}, {box.max.y, c.max.y}, {box.max.z, c.max.z}};
        for (const auto& [got, expected] : sides) EXPECT_NEAR(got, expected, 1e-6) << c.name;
    }
}

TEST(RealComposition, ReferencesToPrimsFindThemOrContributeNothing) {
    const Composed other = composeFixture("stage_composition/references_prim/reference_prim_in_other_file.usda");
    EXPECT_EQ(child(world(other.stage), "Cube_with_reference")->typeName, "Cube");
    EXPECT_EQ(child(world(other.stage), "Cube_invalid_reference")->typeName, "");
    EXPECT_EQ(child(world(other.stage), "Cube_invalid_file_reference")->typeName, "");
    EXPECT_EQ(other.failures.count("file_does_not_exist.usda"), 1u);
    // </World/cube> names no prim: paths are case-sensitive and the prim is "Cube".
    const Composed same = composeFixture("stage_composition/references_prim/reference_prim_in_same_file.usda");
    EXPECT_EQ(child(world(same.stage), "Cube")->typeName, "Cube");
    EXPECT_EQ(child(world(same.stage), "Cube_with_reference")->typeName, "");
    EXPECT_EQ(child(world(same.stage), "Cube_with_reference")->attribute("xformOp:translate")->value.numbers,
              (std::vector<double>{3, 0, 0}));
}

TEST(RealComposition, InactiveAndGuideOrProxyCubesAreLeftOut) {
    EXPECT_EQ(childNames(world(composeFixture("stage_composition/active.usda").stage)),
              std::vector<std::string>{"CubeActive"});
    EXPECT_EQ(childNames(world(composeFixture("stage_composition/purpose.usda").stage)),
              (std::vector<std::string>{"CubeIsRender", "CubeIsOther"}));
}

TEST(RealComposition, InheritedColourYieldsToTheLocalOne) {
    const Composed c = composeFixture("stage_composition/class_inherit.usda");
    const Prim* plain = child(world(c.stage), "cubeWithoutSetColor");
    const Prim* set = child(world(c.stage), "cubeWithSetColor");
    ASSERT_TRUE(plain && set);
    EXPECT_EQ(plain->attribute("primvars:displayColor")->value.numbers, (std::vector<double>{0, 0.8, 0}));
    EXPECT_EQ(set->attribute("primvars:displayColor")->value.numbers, (std::vector<double>{0.8, 0, 0}));
    EXPECT_EQ(c.stage.rootPrims.size(), 1u); // the class is not drawn
}

TEST(RealComposition, SublayersKeepTheRootLayersMetadataAndOvers) {
    const Composed c = composeFixture("stage_configuration/metersPerUnit/metersPerUnit_mix.usda");
    EXPECT_EQ(c.stage.metersPerUnit, 100);
    const Prim* w = world(c.stage);
    ASSERT_NE(child(w, "cube_1"), nullptr);
    EXPECT_EQ(child(w, "cube_1")->typeName, "Cube");
    EXPECT_EQ(child(w, "cube_1")->attribute("xformOp:translate")->value.numbers, (std::vector<double>{3, 0, 0}));
    EXPECT_EQ(child(w, "cube_10")->attribute("xformOp:translate")->value.numbers, (std::vector<double>{6, 0, 0}));
    EXPECT_NE(child(w, "cube_100"), nullptr);
}

} // namespace
