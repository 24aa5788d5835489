// The background work end to end on real files: success builds the framed scene,
// failure carries the description the user sees.
#include "viewport/LoadPipeline.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <numbers>

namespace trimeo {
namespace {

using test::assimpModels;
using test::readFile;

const scene::Node& containerOf(const PresentedModel& m) { return *m.scene->rootNode->childNodes().at(0); }

TEST(LoadPipeline, RefusedFileBecomesItsDescription) {
    auto outcome = loadAndPresent(test::bytes("whatever"), std::filesystem::path("cloud.vdb"));
    ASSERT_TRUE(std::holds_alternative<LoadFailure>(outcome));
    EXPECT_EQ(std::get<LoadFailure>(outcome).description,
              "Unsupported format: VDB volumetric files require OpenVDB library");

    auto garbage = loadAndPresent(test::bytes("not a mesh at all"), std::filesystem::path("x.ply"));
    ASSERT_TRUE(std::holds_alternative<LoadFailure>(garbage));
    EXPECT_FALSE(std::get<LoadFailure>(garbage).description.empty());
}

TEST(LoadPipeline, UpperCaseStlIsFramedAndTurnedUpright) {
    auto data = readFile(assimpModels() / "STL" / "Spider_binary.stl");
    auto outcome = loadAndPresent(data, std::filesystem::path("/models/PART.STL"));
    ASSERT_TRUE(std::holds_alternative<PresentedModel>(outcome)) << std::get<LoadFailure>(outcome).description;
    const auto& model = std::get<PresentedModel>(outcome);
    const scene::Node& c = containerOf(model);
    EXPECT_NEAR(c.eulerAngles().x, -std::numbers::pi / 2, 1e-12);
    // Largest extent 2 around the origin, in the scene's space.
    scene::BoundingBox box = c.boundingBox().transformed(c.transform());
    scene::Vector3 e = box.max - box.min;
    EXPECT_NEAR(std::max({e.x, e.y, e.z}), 2.0, 1e-5);
    EXPECT_NEAR((box.min.x + box.max.x) / 2, 0, 1e-5);
    EXPECT_NEAR((box.min.y + box.max.y) / 2, 0, 1e-5);
    EXPECT_TRUE(model.loadResult.scene->rootNode->childNodes().empty());
    EXPECT_FALSE(model.loadResult.hasAnimations);
}

TEST(LoadPipeline, ObjAndAbsentLocationAreNotTurned) {
    auto data = readFile(assimpModels() / "OBJ" / "box.obj");
    for (auto url : {std::optional<std::filesystem::path>("part.obj"), std::optional<std::filesystem::path>()}) {
        auto outcome = loadAndPresent(data, url);
        ASSERT_TRUE(std::holds_alternative<PresentedModel>(outcome));
        const scene::Node& c = containerOf(std::get<PresentedModel>(outcome));
        EXPECT_EQ(c.eulerAngles(), scene::Vector3());
        EXPECT_EQ(c.name, std::optional<std::string>("modelContainer"));
        // box.obj defines no usable material: every geometry gets the one grey material.
        c.enumerateChildNodes([](const scene::Node::Ptr& n) {
            if (!n->geometry) return;
            ASSERT_EQ(n->geometry->materials.size(), 1u);
            EXPECT_TRUE(n->geometry->materials[0].isDoubleSided);
        });
    }
}

} // namespace
} // namespace trimeo
