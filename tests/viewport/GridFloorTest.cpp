// The floor's fixed layout: 42 boxes, their order, sizes, colour and positions.
#include "viewport/GridFloor.h"

#include <gtest/gtest.h>

namespace trimeo {
namespace {

using scene::Vector3;

Vector3 size(const scene::Node& n) {
    scene::BoundingBox b = n.geometry->boundingBox();
    return b.max - b.min;
}

void expectNear(Vector3 a, Vector3 b) {
    EXPECT_NEAR(a.x, b.x, 1e-6);
    EXPECT_NEAR(a.y, b.y, 1e-6);
    EXPECT_NEAR(a.z, b.z, 1e-6);
}

TEST(GridFloor, FortyTwoAlternatingLinesOneUnitApart) {
    auto floor = createGridFloor();
    EXPECT_EQ(floor->position, Vector3(0, -1, 0));
    EXPECT_FALSE(floor->name);
    EXPECT_FALSE(floor->geometry);
    ASSERT_EQ(floor->childNodes().size(), 42u);
    for (int i = 0; i <= 20; ++i) {
        const auto& xLine = *floor->childNodes()[2 * i];
        const auto& zLine = *floor->childNodes()[2 * i + 1];
        EXPECT_EQ(xLine.position, Vector3(0, 0, i - 10)) << i;
        EXPECT_EQ(zLine.position, Vector3(i - 10, 0, 0)) << i;
        expectNear(size(xLine), Vector3(10.0, 0.005, 0.005));
        expectNear(size(zLine), Vector3(0.005, 0.005, 10.0));
        EXPECT_FALSE(xLine.name);
        EXPECT_TRUE(xLine.childNodes().empty());
    }
}

TEST(GridFloor, LinesAreFaintGreyAndKeepDefaultMaterialSettings) {
    auto floor = createGridFloor();
    for (const auto& line : floor->childNodes()) {
        ASSERT_EQ(line->geometry->materials.size(), 1u);
        const scene::Material& m = line->geometry->materials[0];
        ASSERT_TRUE(m.diffuse.color());
        EXPECT_EQ(*m.diffuse.color(), scene::Color::gray().withAlpha(0.15f));
        EXPECT_FALSE(m.isDoubleSided);
        EXPECT_EQ(m.fillMode, scene::FillMode::fill);
        EXPECT_EQ(m.lightingModel, scene::Material{}.lightingModel);
    }
    // Each call builds its own boxes: changing one floor leaves another alone.
    auto other = createGridFloor();
    EXPECT_NE(other->childNodes()[0]->geometry, floor->childNodes()[0]->geometry);
}

} // namespace
} // namespace trimeo
