// What gets uploaded: only drawable triangles, and normals where the file has none.
#include "viewport/MeshData.h"

#include "support/MeshFiles.h"

#include <gtest/gtest.h>

namespace trimeo {
namespace {

using test::unitCubeTriangles;

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

TEST(MeshData, OnlyMeshesWithoutSharedVerticesGoWithoutNormals) {
    EXPECT_TRUE(eachVertexUsedAtMostOnce(6, std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5})); // STL's layout
    EXPECT_TRUE(eachVertexUsedAtMostOnce(9, std::vector<std::uint32_t>{8, 0, 4, 2, 6, 1})); // any order, gaps
    EXPECT_TRUE(eachVertexUsedAtMostOnce(3, std::vector<std::uint32_t>{}));
    EXPECT_FALSE(eachVertexUsedAtMostOnce(6, std::vector<std::uint32_t>{0, 1, 2, 3, 4, 2}));
    EXPECT_FALSE(eachVertexUsedAtMostOnce(6, std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3})); // a shared edge
    EXPECT_FALSE(eachVertexUsedAtMostOnce(3, std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5})); // past the end
}

TEST(MeshData, PreparedMeshDrawsTheGeometrysOwnListWhenItCanAndComputesOnlyMissingNormals) {
    scene::Geometry one = quad({0, 1, 2, 0, 2, 3});
    PreparedMesh a = prepareMesh(one);
    EXPECT_EQ(a.indices(one).data(), one.elements[0].indices.data()); // no copy
    EXPECT_EQ(a.partSizes, (std::vector<std::size_t>{6}));
    EXPECT_FALSE(a.planeShaded);
    EXPECT_EQ(a.shaded.normals.size(), 12u);

    // Two elements, one with a triangle naming a missing vertex: one list, per-element sizes.
    scene::Geometry two = quad({0, 1, 2});
    two.elements.push_back(scene::GeometryElement{{0, 2, 9, 0, 2, 3}});
    PreparedMesh b = prepareMesh(two);
    EXPECT_EQ(b.partSizes, (std::vector<std::size_t>{3, 3}));
    auto all = b.indices(two);
    EXPECT_EQ(std::vector<std::uint32_t>(all.begin(), all.end()), (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));

    // The file's own normals: nothing computed. STL's layout: nothing needed.
    scene::Geometry withNormals = quad({0, 1, 2, 0, 2, 3});
    withNormals.sources.push_back(scene::GeometrySource::normals(std::vector<float>(12, 0.5f)));
    EXPECT_TRUE(prepareMesh(withNormals).shaded.normals.empty());
    scene::Geometry unshared({scene::GeometrySource::vertices(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0})},
                             {scene::GeometryElement{{0, 1, 2}}});
    PreparedMesh c = prepareMesh(unshared);
    EXPECT_TRUE(c.planeShaded);
    EXPECT_TRUE(c.shaded.normals.empty());

    // STL's layout without a list: drawn as it stands, nothing made; beside another
    // element, written out into the one list.
    scene::Geometry sequential({scene::GeometrySource::vertices(std::vector<float>(7 * 3, 0.0f))},
                               {scene::GeometryElement::sequential(9)});
    PreparedMesh d = prepareMesh(sequential);
    EXPECT_TRUE(d.sequential);
    EXPECT_TRUE(d.planeShaded);
    EXPECT_EQ(d.partSizes, (std::vector<std::size_t>{6}));
    EXPECT_TRUE(d.indices(sequential).empty());
    EXPECT_TRUE(d.ownIndices.empty());
    sequential.elements.push_back(scene::GeometryElement{{6, 5, 4}});
    PreparedMesh e = prepareMesh(sequential);
    EXPECT_EQ(e.partSizes, (std::vector<std::size_t>{6, 3}));
    auto listed = e.indices(sequential);
    EXPECT_EQ(std::vector<std::uint32_t>(listed.begin(), listed.end()),
              (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 5, 4}));
    EXPECT_FALSE(e.sequential);
    std::vector<std::uint32_t> scratch;
    EXPECT_EQ(drawableIndices(sequential, 0, scratch).size(), 6u);

    // A scene prepares each shared geometry once.
    auto s = std::make_shared<scene::Scene>();
    auto g = std::make_shared<scene::Geometry>(one);
    s->rootNode->addChildNode(scene::Node::make(g));
    s->rootNode->addChildNode(scene::Node::make(g));
    EXPECT_EQ(prepareMeshes(*s).size(), 1u);
}

TEST(MeshData, SharpEdgesSplitVerticesSoABoxStaysFlatFaced) {
    const auto p = test::unitCubeCorners();
    ShadedMesh m = computeCreasedNormals(p, 3, unitCubeTriangles);
    ASSERT_EQ(m.indices.size(), unitCubeTriangles.size());
    EXPECT_EQ(m.remap.size(), 24u); // each corner once per face it touches
    for (std::size_t c = 0; c < m.indices.size(); ++c) {
        const std::uint32_t out = m.indices[c];
        EXPECT_EQ(m.remap[out], unitCubeTriangles[c]); // same position as the input corner
        const float* n = &m.normals[out * 3];
        const float* a = &p[unitCubeTriangles[c / 3 * 3] * 3];
        const float* b = &p[unitCubeTriangles[c / 3 * 3 + 1] * 3];
        const float* d = &p[unitCubeTriangles[c / 3 * 3 + 2] * 3];
        // Axis-aligned and pointing away from the cube's centre, like the face.
        EXPECT_FLOAT_EQ(std::abs(n[0]) + std::abs(n[1]) + std::abs(n[2]), 1.0f);
        const float centre[3] = {(a[0] + b[0] + d[0]) / 3 - 0.5f, (a[1] + b[1] + d[1]) / 3 - 0.5f,
                                 (a[2] + b[2] + d[2]) / 3 - 0.5f};
        EXPECT_GT(n[0] * centre[0] + n[1] * centre[1] + n[2] * centre[2], 0);
    }
}

TEST(MeshData, PreparedMeshKnowsTheHiddenSideUnlessSkinned) {
    scene::Geometry box({scene::GeometrySource::vertices(test::unitCubeCorners())}, {scene::GeometryElement{unitCubeTriangles}});
    EXPECT_EQ(prepareMesh(box).enclosure.hidden, HiddenSide::back);
    // A skin moves the surface: what hides in the file's pose may show in another.
    box.skin = scene::Skin{};
    EXPECT_EQ(prepareMesh(box).enclosure.hidden, HiddenSide::none);
}

TEST(MeshData, GentleFoldsStaySmoothAndShared) {
    // Two triangles meeting at 10 degrees: one smooth normal per input vertex, no split.
    const float s = std::sin(10 * float(M_PI) / 180), c = std::cos(10 * float(M_PI) / 180);
    std::vector<float> p{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, -c, s};
    ShadedMesh m = computeCreasedNormals(p, 3, std::vector<std::uint32_t>{0, 1, 2, 0, 3, 1});
    EXPECT_TRUE(m.remap.empty());
    EXPECT_TRUE(m.indices.empty());
    ASSERT_EQ(m.normals.size(), 12u);
    EXPECT_GT(m.normals[0 * 3 + 2], 0.99f);
    EXPECT_LT(m.normals[0 * 3 + 2], 1.0f); // averaged with the tilted face
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
