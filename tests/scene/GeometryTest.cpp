#include "scene/Box.h"
#include "scene/Geometry.h"

#include <gtest/gtest.h>

using namespace trimeo::scene;

TEST(Geometry, ValidTrianglesDropOutOfRangeIndicesAndPartialTriangles) {
    Geometry g({GeometrySource::vertices(std::vector<Vector3>{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}})},
               {GeometryElement{{0, 1, 2, 1, 3, 4, 3, 2, 1, 0, 1}}});
    EXPECT_EQ(g.vertexCount(), 4u);
    EXPECT_EQ(g.validTriangleIndices(0), (std::vector<std::uint32_t>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(g.validTriangleCount(), 2u);
    EXPECT_EQ(g.elements[0].indices.size(), 11u); // kept as given
    EXPECT_TRUE(g.validTriangleIndices(7).empty());
}

TEST(Geometry, SequentialElementCountsOnlyCornersThatHaveVertices) {
    Geometry g({GeometrySource::vertices(std::vector<float>(7 * 3, 0.0f))}, {GeometryElement::sequential(9)});
    EXPECT_TRUE(g.elements[0].isSequential());
    EXPECT_TRUE(g.elements[0].indices.empty());
    EXPECT_EQ(g.elements[0].primitiveCount(), 3u);
    EXPECT_EQ(g.validTriangleCount(), 2u); // corners 6..8 lack vertices 7 and 8
    EXPECT_EQ(g.validTriangleIndices(0), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(GeometryElement{}.isSequential()); // no corners at all
}

TEST(Geometry, NoVerticesMeansNoValidTriangleAndEmptyBox) {
    Geometry g({}, {GeometryElement{{0, 0, 0}}});
    EXPECT_EQ(g.validTriangleCount(), 0u);
    EXPECT_TRUE(g.boundingBox().isEmpty());
}

TEST(Geometry, BoxHasTheGivenExtentsAndOneDefaultMaterial) {
    auto box = makeBox(10, 0.005, 0.005);
    BoundingBox b = box->boundingBox();
    EXPECT_FLOAT_EQ(float(b.max.x - b.min.x), 10.0f);
    EXPECT_FLOAT_EQ(float(b.max.y - b.min.y), 0.005f);
    EXPECT_FLOAT_EQ(float(b.max.z - b.min.z), 0.005f);
    EXPECT_FLOAT_EQ(float(b.min.x), -5.0f);
    ASSERT_EQ(box->materials.size(), 1u);
    EXPECT_FALSE(box->materials[0].diffuse.hasContents());
    EXPECT_EQ(box->validTriangleCount(), 12u);
    ASSERT_NE(box->source(Semantic::normal), nullptr);
}

TEST(Geometry, BoxFacesWindOutwards) {
    auto box = makeBox(1, 2, 3);
    const auto& p = box->source(Semantic::vertex)->data;
    const auto& n = box->source(Semantic::normal)->data;
    auto idx = box->validTriangleIndices(0);
    for (std::size_t t = 0; t < idx.size(); t += 3) {
        Vector3 a{p[idx[t] * 3], p[idx[t] * 3 + 1], p[idx[t] * 3 + 2]};
        Vector3 b{p[idx[t + 1] * 3], p[idx[t + 1] * 3 + 1], p[idx[t + 1] * 3 + 2]};
        Vector3 c{p[idx[t + 2] * 3], p[idx[t + 2] * 3 + 1], p[idx[t + 2] * 3 + 2]};
        Vector3 normal{n[idx[t] * 3], n[idx[t] * 3 + 1], n[idx[t] * 3 + 2]};
        EXPECT_GT(dot(cross(b - a, c - a), normal), 0) << "triangle " << t / 3;
    }
}
