// What gets uploaded: only drawable triangles, and normals where the file has none.
#include "viewport/MeshData.h"

#include <gtest/gtest.h>

namespace trimeo {
namespace {

scene::Geometry quad(std::vector<std::uint32_t> indices) {
    return scene::Geometry({scene::GeometrySource::vertices(std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0})},
                           {scene::GeometryElement{std::move(indices)}});
}

TEST(MeshData, ValidIndicesAreUsedInPlaceAndInvalidTrianglesDropped) {
    scene::Geometry ok = quad({0, 1, 2, 0, 2, 3, 1});
    std::vector<std::uint32_t> scratch;
    auto view = drawableIndices(ok, 0, scratch);
    EXPECT_EQ(view.data(), ok.elements[0].indices.data()); // no copy
    EXPECT_EQ(view.size(), 6u);                             // the trailing index is no triangle

    scene::Geometry bad = quad({0, 1, 2, 0, 2, 4, 3, 2, 0xffffffffu, 2, 3, 0});
    auto kept = drawableIndices(bad, 0, scratch);
    EXPECT_EQ(std::vector<std::uint32_t>(kept.begin(), kept.end()), (std::vector<std::uint32_t>{0, 1, 2, 2, 3, 0}));
    EXPECT_TRUE(drawableIndices(bad, 5, scratch).empty());
}

TEST(MeshData, ComputedNormalsFollowWindingAndAverageSharedVertices) {
    // Two triangles folded along the x axis: one in the xy plane, one in the xz plane.
    std::vector<float> p{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, -1, 5, 5, 5};
    std::vector<std::uint32_t> tri{0, 1, 2, 0, 1, 3}; // both counter-clockwise seen from outside the fold
    auto n = computeVertexNormals(p, 3, tri);
    ASSERT_EQ(n.size(), 15u);
    EXPECT_FLOAT_EQ(n[2 * 3 + 2], 1);                     // vertex 2 only on the +z face
    EXPECT_FLOAT_EQ(n[3 * 3 + 1], 1);                     // vertex 3 only on the +y face
    EXPECT_NEAR(n[0 * 3 + 1], std::sqrt(0.5), 1e-6);      // shared: halfway
    EXPECT_NEAR(n[0 * 3 + 2], std::sqrt(0.5), 1e-6);
    EXPECT_FLOAT_EQ(n[4 * 3 + 2], 1);                     // on no triangle: a default, not NaN
}

TEST(MeshData, MismatchedSourcesAreNotUsed) {
    scene::Geometry g = quad({0, 1, 2});
    g.sources.push_back(scene::GeometrySource::normals({0, 0, 1}));          // one normal for four vertices
    g.sources.push_back(scene::GeometrySource::texcoords({0, 0, 1, 0, 1, 1, 0, 1}));
    EXPECT_EQ(usableNormals(g), nullptr);
    EXPECT_NE(usableTexcoords(g), nullptr);
}

} // namespace
} // namespace trimeo
