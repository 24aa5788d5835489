// Model figures on shapes whose answers are known by hand: cubes, an open box, a sphere.
#include "viewport/ModelStatistics.h"
#include "viewport/ViewportPicking.h"

#include "loading/ModelLoader.h"
#include "support/MeshFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>

namespace trimeo {
namespace {

using scene::Node;
using scene::Vector3;
using test::binarySTL;
using test::boxTriangles;
using test::Triangle;

// STL's layout: three vertices of its own per triangle.
std::shared_ptr<scene::Geometry> unsharedGeometry(const std::vector<Triangle>& triangles) {
    std::vector<float> xyz;
    std::vector<std::uint32_t> indices;
    for (const Triangle& t : triangles)
        for (Vector3 v : {t.a, t.b, t.c}) {
            indices.push_back(std::uint32_t(xyz.size() / 3));
            xyz.insert(xyz.end(), {float(v.x), float(v.y), float(v.z)});
        }
    std::vector<scene::GeometryElement> elements(1);
    elements[0].indices = indices;
    return std::make_shared<scene::Geometry>(std::vector{scene::GeometrySource::vertices(xyz)}, elements);
}

MeshFigures figuresOf(const Node& root) { return measureMeshes(takeInventory(root).instances); }

Node::Ptr rootWith(std::shared_ptr<scene::Geometry> geometry) {
    auto root = Node::make();
    root->addChildNode(Node::make(std::move(geometry)));
    return root;
}

TEST(ModelStatistics, ATwentyMillimetreCalibrationCubeReadFromSTL) {
    const auto stl = binarySTL(boxTriangles({-3, 5, 0}, {17, 25, 20}));
    const ModelLoader::LoadResult loaded = ModelLoader::load(stl, std::filesystem::path("cube.stl"));
    const ModelInventory inventory = takeInventory(*loaded.scene->rootNode);
    EXPECT_EQ(inventory.triangles, 12u);
    const MeshFigures figures = measureMeshes(inventory.instances);
    EXPECT_DOUBLE_EQ(figures.box.max.x - figures.box.min.x, 20);
    EXPECT_DOUBLE_EQ(figures.box.max.y - figures.box.min.y, 20);
    EXPECT_DOUBLE_EQ(figures.box.max.z - figures.box.min.z, 20);
    EXPECT_NEAR(figures.surfaceArea, 2400, 1e-9);
    EXPECT_TRUE(figures.watertight);
    ASSERT_TRUE(figures.volume);
    EXPECT_NEAR(*figures.volume, 8000, 1e-9);
}

TEST(ModelStatistics, OpenFlippedAndNonManifoldMeshesAreNotWatertight) {
    std::vector<Triangle> box = boxTriangles({0, 0, 0}, {1, 1, 1});
    std::vector<Triangle> open(box.begin(), box.end() - 2);
    const MeshFigures openFigures = figuresOf(*rootWith(unsharedGeometry(open)));
    EXPECT_FALSE(openFigures.watertight);
    EXPECT_FALSE(openFigures.volume);
    EXPECT_NEAR(openFigures.surfaceArea, 5, 1e-12);

    std::vector<Triangle> flipped = box;
    std::swap(flipped[3].b, flipped[3].c);
    EXPECT_FALSE(isWatertight(*unsharedGeometry(flipped)));

    // Two cubes meeting along one edge: that edge borders four triangles.
    std::vector<Triangle> pair = box;
    for (const Triangle& t : boxTriangles({1, 1, 0}, {2, 2, 1})) pair.push_back(t);
    EXPECT_FALSE(isWatertight(*unsharedGeometry(pair)));

    // Two separate closed cubes in one mesh are closed; so is one wound inside out throughout.
    std::vector<Triangle> apart = box;
    for (const Triangle& t : boxTriangles({3, 0, 0}, {4, 1, 1})) apart.push_back(t);
    EXPECT_TRUE(isWatertight(*unsharedGeometry(apart)));
    std::vector<Triangle> insideOut = box;
    for (Triangle& t : insideOut) std::swap(t.b, t.c);
    EXPECT_TRUE(isInsideOut(*unsharedGeometry(insideOut)));
    EXPECT_FALSE(isInsideOut(*unsharedGeometry(box)));
    const MeshFigures inverted = figuresOf(*rootWith(unsharedGeometry(insideOut)));
    EXPECT_TRUE(inverted.watertight);
    EXPECT_NEAR(*inverted.volume, 1, 1e-12);

    EXPECT_FALSE(figuresOf(*Node::make()).watertight);
}

TEST(ModelStatistics, SharedIndexedVerticesAndOutOfRangeIndices) {
    // The same cube with 8 shared vertices, plus one triangle pointing past the vertex list.
    std::vector<scene::GeometryElement> elements{{test::unitCubeTriangles}};
    elements[0].indices.insert(elements[0].indices.end(), {0, 1, 99});
    auto geometry =
        std::make_shared<scene::Geometry>(std::vector{scene::GeometrySource::vertices(test::unitCubeCorners())}, elements);
    const MeshFigures figures = figuresOf(*rootWith(geometry));
    EXPECT_TRUE(figures.watertight);
    EXPECT_NEAR(*figures.volume, 1, 1e-12);
    EXPECT_NEAR(figures.surfaceArea, 6, 1e-12);
}

TEST(ModelStatistics, TransformsInstancesAndMirrorsCountInTheRootsCoordinates) {
    auto cube = unsharedGeometry(boxTriangles({0, 0, 0}, {1, 1, 1}));
    auto root = Node::make();
    auto group = Node::make();
    group->scale = {2, 2, 2};
    group->position = {100, 0, 0};
    root->addChildNode(group);
    group->addChildNode(Node::make(cube));
    auto mirrored = Node::make(cube);
    mirrored->scale = {-1, 1, 1};
    root->addChildNode(mirrored);
    root->scale = {1000, 1000, 1000}; // the root's own transform is not part of the model's size

    const ModelInventory inventory = takeInventory(*root);
    EXPECT_EQ(inventory.nodes, 3u);
    EXPECT_EQ(inventory.meshes, 2u);
    EXPECT_EQ(inventory.triangles, 24u);
    const MeshFigures figures = measureMeshes(inventory.instances);
    EXPECT_TRUE(figures.watertight);
    EXPECT_NEAR(*figures.volume, 8 + 1, 1e-12);
    EXPECT_NEAR(figures.surfaceArea, 24 + 6, 1e-12);
    EXPECT_DOUBLE_EQ(figures.box.min.x, -1);
    EXPECT_DOUBLE_EQ(figures.box.max.x, 102);
    EXPECT_DOUBLE_EQ(figures.box.max.y, 2);
}

TEST(ModelStatistics, MaterialsAndTexturesAreCountedOnce) {
    scene::Material red, textured, alsoTextured;
    red.diffuse.contents = scene::Color{1, 0, 0, 1};
    textured.diffuse.contents = scene::Image{"wood.png", {}};
    alsoTextured.name = "other";
    alsoTextured.diffuse.contents = scene::Image{"wood.png", {}};
    auto a = unsharedGeometry(boxTriangles({0, 0, 0}, {1, 1, 1}));
    a->materials = {red, textured};
    auto b = unsharedGeometry(boxTriangles({0, 0, 0}, {1, 1, 1}));
    b->materials = {red, alsoTextured};
    auto root = Node::make();
    root->addChildNode(Node::make(a));
    root->addChildNode(Node::make(b));
    const ModelInventory inventory = takeInventory(*root);
    EXPECT_EQ(inventory.materials, 3u);
    EXPECT_EQ(inventory.textures, 1u);
}

// A UV sphere of radius 1 with rings x segments quads, vertices shared.
std::shared_ptr<scene::Geometry> sphere(int rings, int segments) {
    std::vector<float> xyz;
    std::vector<std::uint32_t> idx;
    auto vertex = [&](int r, int s) -> std::uint32_t {
        if (r == 0) return 0;
        if (r == rings) return 1;
        return 2 + std::uint32_t((r - 1) * segments + s % segments);
    };
    xyz.insert(xyz.end(), {0, 0, 1, 0, 0, -1});
    for (int r = 1; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const double theta = std::numbers::pi * r / rings, phi = 2 * std::numbers::pi * s / segments;
            xyz.insert(xyz.end(), {float(std::sin(theta) * std::cos(phi)), float(std::sin(theta) * std::sin(phi)),
                                   float(std::cos(theta))});
        }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const std::uint32_t a = vertex(r, s), b = vertex(r + 1, s), c = vertex(r + 1, s + 1), d = vertex(r, s + 1);
            if (r != 0) idx.insert(idx.end(), {a, b, d});
            if (r != rings - 1) idx.insert(idx.end(), {d, b, c});
        }
    std::vector<scene::GeometryElement> elements(1);
    elements[0].indices = std::move(idx);
    return std::make_shared<scene::Geometry>(std::vector{scene::GeometrySource::vertices(xyz)}, elements);
}

TEST(ModelStatistics, ATwoMillionTriangleSphereIsClosedAndNearlyFourThirdsPi) {
    auto geometry = sphere(1000, 1000); // 1000 * 1000 * 2 - 2000 triangles
    const auto start = std::chrono::steady_clock::now();
    const MeshFigures figures = figuresOf(*rootWith(geometry));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("milliseconds", std::to_string(ms));
    std::printf("measured %zu triangles in %.0f ms\n", geometry->validTriangleCount(), ms);
    EXPECT_TRUE(figures.watertight);
    ASSERT_TRUE(figures.volume);
    EXPECT_NEAR(*figures.volume, 4.0 / 3.0 * std::numbers::pi, 1e-4);
    EXPECT_NEAR(figures.surfaceArea, 4 * std::numbers::pi, 1e-4);

    // A snap on the same model, as a Shift-click does it: well inside a frame's time.
    const auto root = rootWith(geometry);
    const VertexSnapper snapper(takeInventory(*root).instances);
    const auto snapStart = std::chrono::steady_clock::now();
    const auto snapped = snapper.nearest({0, 0, 1.01});
    const double snapMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - snapStart).count();
    std::printf("snapped among %zu vertices in %.1f ms\n", geometry->vertexCount(), snapMs);
    ASSERT_TRUE(snapped);
    EXPECT_EQ(*snapped, Vector3(0, 0, 1));
}

} // namespace
} // namespace trimeo
