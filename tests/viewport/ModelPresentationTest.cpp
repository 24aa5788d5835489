// The presented scene's shape, material normalisation and the upright turn.
#include "viewport/ModelPresentation.h"

#include "scene/Box.h"

#include <gtest/gtest.h>

#include <numbers>

namespace trimeo {
namespace {

using scene::Node;
using scene::Vector3;

std::shared_ptr<scene::Geometry> boxWith(std::vector<scene::Material> materials) {
    auto g = scene::makeBox(1, 2, 3);
    g->materials = std::move(materials);
    return g;
}

scene::Material coloured(scene::Color c) {
    scene::Material m;
    m.diffuse.contents = c;
    return m;
}

TEST(ModelPresentation, SceneHoldsContainerFloorAndCameraInOrder) {
    scene::Scene loaded;
    auto a = Node::make(scene::makeBox(1, 1, 1));
    auto b = Node::make();
    b->addChildNode(Node::make(scene::makeBox(1, 1, 1)));
    loaded.rootNode->addChildNode(a);
    loaded.rootNode->addChildNode(b);

    auto presented = presentLoadedModel(loaded, "obj");
    const auto& top = presented->rootNode->childNodes();
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0]->name, std::optional<std::string>("modelContainer"));
    EXPECT_EQ(top[1]->childNodes().size(), 42u);
    EXPECT_EQ(top[1]->position, Vector3(0, -1, 0));
    ASSERT_TRUE(top[2]->camera);
    // Moved, not copied: the very same nodes, in their order, and the loaded root is empty.
    ASSERT_EQ(top[0]->childNodes().size(), 2u);
    EXPECT_EQ(top[0]->childNodes()[0], a);
    EXPECT_EQ(top[0]->childNodes()[1], b);
    EXPECT_TRUE(loaded.rootNode->childNodes().empty());
    EXPECT_EQ(top[0]->eulerAngles(), Vector3());
}

TEST(ModelPresentation, CameraStandsAtThreeTwoFourFacingTheOrigin) {
    auto cam = makeCameraNode();
    EXPECT_EQ(cam->position, Vector3(3, 2, 4));
    const scene::Camera defaults;
    EXPECT_EQ(cam->camera->fieldOfView, defaults.fieldOfView);
    // The camera looks down its -Z axis: that axis must point from the camera at the origin.
    Vector3 forward = cam->orientation.rotate({0, 0, -1});
    Vector3 toOrigin = scene::normalized(Vector3(-3, -2, -4));
    EXPECT_NEAR(scene::dot(forward, toOrigin), 1.0, 1e-9);
    Vector3 up = cam->orientation.rotate({0, 1, 0});
    EXPECT_GT(up.y, 0.8); // no roll
}

TEST(ModelPresentation, NormalisationReplacesMissingOrEmptyFirstMaterials) {
    auto container = Node::make();
    auto none = Node::make(boxWith({}));
    auto emptyFirst = Node::make(boxWith({scene::Material{}, coloured({1, 0, 0, 1}), coloured({0, 1, 0, 1})}));
    container->addChildNode(none);
    none->addChildNode(emptyFirst); // at depth 2: the walk reaches every level
    normalizeMaterials(*container);
    for (const auto& node : {none, emptyFirst}) {
        ASSERT_EQ(node->geometry->materials.size(), 1u);
        const scene::Material& m = node->geometry->materials[0];
        EXPECT_EQ(*m.diffuse.color(), scene::Color::systemGray());
        EXPECT_EQ(m.lightingModel, scene::LightingModel::physicallyBased);
        EXPECT_TRUE(m.isDoubleSided);
    }
    // A separate grey material per geometry.
    none->geometry->materials[0].fillMode = scene::FillMode::lines;
    EXPECT_EQ(emptyFirst->geometry->materials[0].fillMode, scene::FillMode::fill);
}

TEST(ModelPresentation, NormalisationKeepsMaterialsBehindAColouredOrTexturedFirst) {
    auto container = Node::make();
    auto three = Node::make(boxWith({coloured({1, 0, 0, 0.5f}), scene::Material{}, coloured({0, 0, 1, 1})}));
    scene::Material textured;
    textured.diffuse.contents = scene::Image{"wood.jpg", {}};
    auto image = Node::make(boxWith({textured}));
    auto bare = Node::make(); // no geometry
    bare->scale = {2, 2, 2};
    container->addChildNode(three);
    container->addChildNode(image);
    container->addChildNode(bare);
    container->geometry = boxWith({}); // the container itself is not visited
    normalizeMaterials(*container);

    ASSERT_EQ(three->geometry->materials.size(), 3u);
    for (const auto& m : three->geometry->materials) EXPECT_TRUE(m.isDoubleSided);
    EXPECT_EQ(*three->geometry->materials[0].diffuse.color(), (scene::Color{1, 0, 0, 0.5f}));
    EXPECT_FALSE(three->geometry->materials[1].diffuse.hasContents());
    EXPECT_EQ(three->geometry->materials[0].lightingModel, scene::LightingModel::blinn);
    ASSERT_EQ(image->geometry->materials.size(), 1u);
    EXPECT_TRUE(image->geometry->materials[0].diffuse.image());
    EXPECT_FALSE(bare->geometry);
    EXPECT_EQ(bare->scale, Vector3(2, 2, 2));
    EXPECT_TRUE(container->geometry->materials.empty());
}

TEST(ModelPresentation, OnlyStlAnd3mfAreTurnedUpright) {
    for (const char* ext : {"stl", "3mf", "obj", "glb", "", "STL"}) {
        scene::Scene loaded;
        loaded.rootNode->addChildNode(Node::make(scene::makeBox(2, 2, 2)));
        auto presented = presentLoadedModel(loaded, ext);
        const Node& container = *presented->rootNode->childNodes()[0];
        const bool turned = std::string(ext) == "stl" || std::string(ext) == "3mf";
        EXPECT_EQ(turnsUpright(ext), turned) << ext;
        EXPECT_NEAR(container.eulerAngles().x, turned ? -std::numbers::pi / 2 : 0.0, 1e-12) << ext;
        EXPECT_NEAR(container.eulerAngles().y, 0.0, 1e-12);
        // File +z becomes scene +y.
        if (turned) {
            Vector3 up = container.orientation.rotate({0, 0, 1});
            EXPECT_NEAR(up.y, 1.0, 1e-12);
            EXPECT_NEAR(container.orientation.rotate({0, 1, 0}).z, -1.0, 1e-12);
        }
    }
}

} // namespace
} // namespace trimeo
