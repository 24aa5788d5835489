// Where meshes stand: the scene shown, node transforms, shared meshes, instances.
#include "GLTFTestAssets.h"
#include "formats/gltf/NodePlacement.h"

#include <gtest/gtest.h>

namespace trimeo::test {
namespace {

const std::vector<float> unitTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

void expectNear(const std::vector<float>& actual, const std::vector<float>& expected, const std::string& what = "") {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-4) << what << " at " << i;
}

std::vector<std::vector<float>> positionsOfAll(const ModelLoader::LoadResult& r) {
    std::vector<std::vector<float>> out;
    for (const auto& node : modelNodes(r)) out.push_back(positionsOf(*node));
    return out;
}

// One mesh "Tri" over the unit triangle, and an unused one, "Orphan".
AssetBuilder triangleAndOrphan() {
    AssetBuilder a;
    a.triangleMesh(unitTriangle, std::nullopt, "Tri");
    a.triangleMesh({5, 5, 5, 6, 5, 5, 5, 6, 5}, std::nullopt, "Orphan");
    return a;
}

TEST(GLTFPlacement, WorldTransformsApplyParentAfterChild) {
    AssetBuilder a = triangleAndOrphan();
    // Node 0: scale 3, then move 10 along x. Its child turns a quarter about y: (x, y, z) -> (z, y, -x).
    a.document["nodes"] = {{{"mesh", 0}, {"translation", {10, 0, 0}}, {"scale", {3, 3, 3}}, {"children", {1}}},
                           {{"rotation", {0, 0.70710678, 0, 0.70710678}}, {"mesh", 0}}};
    a.document["scenes"] = {{{"nodes", {0}}}};
    const auto r = load(a.glb(), "m.glb");
    ASSERT_EQ(nodeNames(r), (std::vector<std::string>{"Tri", "Tri", "Orphan"})); // the mesh's name, twice
    const auto xyz = positionsOfAll(r);
    expectNear(xyz[0], {10, 0, 0, 13, 0, 0, 10, 3, 0}, "parent");
    expectNear(xyz[1], {10, 0, 0, 10, 0, -3, 10, 3, 0}, "child");
    expectNear(xyz[2], {5, 5, 5, 6, 5, 5, 5, 6, 5}, "unused mesh, untransformed");
    // The transform is in the positions, not on the node.
    EXPECT_EQ(modelNodes(r)[1]->position, scene::Vector3());
    EXPECT_EQ(modelNodes(r)[1]->scale, scene::Vector3(1, 1, 1));

    // A column-major matrix: the same as translation 10 and scale 3.
    a.document["nodes"][0] = {{"mesh", 0}, {"matrix", {3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 3, 0, 10, 0, 0, 1}}};
    expectNear(positionsOfAll(load(a.glb(), "m.glb"))[0], {10, 0, 0, 13, 0, 0, 10, 3, 0}, "matrix");
    // Beyond the float range a coordinate is an infinity.
    a.document["nodes"][0]["matrix"] = {1e300, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(positionsOfAll(load(a.glb(), "m.glb"))[0][3], INFINITY);
    // A matrix that is not 16 numbers counts as absent.
    a.document["nodes"][0]["matrix"] = {3, 0, 0};
    expectNear(positionsOfAll(load(a.glb(), "m.glb"))[0], unitTriangle, "bad matrix");
}

TEST(GLTFPlacement, TheSceneShownIsTheDefaultThenSceneZeroThenEveryRoot) {
    AssetBuilder a = triangleAndOrphan();
    a.document["nodes"] = {{{"mesh", 0}, {"translation", {1, 0, 0}}}, {{"mesh", 0}, {"translation", {2, 0, 0}}},
                           {{"mesh", 1}, {"children", {1}}}};
    a.document["scenes"] = {{{"nodes", {0}}}, {{"nodes", {2}}}};
    auto firstX = [&](const AssetBuilder& b) {
        std::vector<float> xs;
        for (const auto& p : positionsOfAll(load(b.glb(), "m.glb"))) xs.push_back(p[0]);
        return xs;
    };
    a.document["scene"] = 1;
    EXPECT_EQ(firstX(a), (std::vector<float>{5, 2})); // mesh 1 at node 2, then its child
    a.document["scene"] = "1";                        // not an integer: scene 0
    EXPECT_EQ(firstX(a), (std::vector<float>{1}));
    a.document["scene"] = 7;
    EXPECT_EQ(firstX(a), (std::vector<float>{1}));
    a.document.erase("scenes");                       // no scenes: roots 0 and 2, in node order
    EXPECT_EQ(firstX(a), (std::vector<float>{1, 5, 2}));
}

TEST(GLTFPlacement, AMeshUsedByManyNodesAppearsOnceForEach) {
    AssetBuilder a;
    a.triangleMesh(unitTriangle, {{0, 1, 2}}, "Wheel");
    a.document["nodes"] = json::array();
    for (int i = 0; i < 4; ++i) a.document["nodes"].push_back({{"mesh", 0}, {"translation", {0, 0, i}}});
    a.document["scenes"] = {{{"nodes", {0, 1, 2, 3}}}};
    const auto r = load(a.glb(), "m.glb");
    ASSERT_EQ(nodeNames(r), std::vector<std::string>(4, "Wheel"));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(positionsOfAll(r)[i][2], float(i));
    // Every node owns its geometry.
    EXPECT_NE(modelNodes(r)[0]->geometry, modelNodes(r)[1]->geometry);
}

TEST(GLTFPlacement, MirroringTransformsKeepTrianglesFacingOut) {
    AssetBuilder a;
    a.triangleMesh(unitTriangle, {{0, 1, 2, 0, 2}}, "Tri"); // one triangle and two spare indices
    a.document["nodes"] = {{{"mesh", 0}, {"scale", {-1, 1, 1}}}, {{"mesh", 0}, {"scale", {-1, -1, 1}}}};
    a.document["scenes"] = {{{"nodes", {0, 1}}}};
    const auto r = load(a.glb(), "m.glb");
    EXPECT_EQ(indicesOf(*modelNodes(r)[0]), (std::vector<std::uint32_t>{0, 2, 1, 0, 2}));
    EXPECT_EQ(indicesOf(*modelNodes(r)[1]), (std::vector<std::uint32_t>{0, 1, 2, 0, 2})); // a turn, not a mirror
}

TEST(GLTFPlacement, CyclesAndSharedChildrenEnd) {
    AssetBuilder a = triangleAndOrphan();
    a.document["nodes"] = {{{"mesh", 0}, {"children", {1}}}, {{"children", {0, 1}}}};
    a.document["scenes"] = {{{"nodes", {0}}}};
    EXPECT_EQ(nodeNames(load(a.glb(), "m.glb")), (std::vector<std::string>{"Tri", "Orphan"}));

    // Each node lists the next one twice: 2^40 paths, cut off by the visit limit.
    a.document["nodes"] = json::array();
    for (int i = 0; i < 40; ++i) a.document["nodes"].push_back({{"children", {i + 1, i + 1}}});
    a.document["nodes"].push_back({{"mesh", 0}});
    const auto r = load(a.glb(), "m.glb");
    EXPECT_LE(modelNodes(r).size(), gltf::maxPlacements + 1);
    EXPECT_GE(modelNodes(r).size(), 1000u);

    // A chain deeper than the depth limit: the meshes below it are left out.
    a.document["nodes"] = json::array();
    for (std::size_t i = 0; i < gltf::maxNodeDepth + 10; ++i)
        a.document["nodes"].push_back({{"children", {i + 1}}, {"mesh", 0}});
    a.document["nodes"].push_back({{"mesh", 0}});
    EXPECT_EQ(modelNodes(load(a.glb(), "m.glb")).size(), gltf::maxNodeDepth + 1); // + the orphan
}

TEST(GLTFPlacement, GPUInstancesArePlacedOneByOne) {
    AssetBuilder a;
    a.triangleMesh(unitTriangle, std::nullopt, "Tree");
    const int t = a.accessor({{"bufferView", a.view(bytesOf(std::vector<float>{0, 0, 0, 5, 0, 0, 0, 0, 7}))},
                              {"count", 3}, {"componentType", 5126}, {"type", "VEC3"}});
    // Normalised shorts for the rotation: a quarter turn about z for the second instance.
    const std::vector<std::int16_t> quarter = {0, 0, 0, 32767, 0, 0, 23170, 23170, 0, 0, 0, 32767};
    const int r = a.accessor({{"bufferView", a.view(bytesOf(quarter))}, {"count", 3}, {"componentType", 5122},
                              {"normalized", true}, {"type", "VEC4"}});
    a.document["nodes"] = {{{"mesh", 0}, {"translation", {0, 100, 0}},
                            {"extensions", {{"EXT_mesh_gpu_instancing", {{"attributes", {{"TRANSLATION", t}, {"ROTATION", r}}}}}}}}};
    a.document["scenes"] = {{{"nodes", {0}}}};
    const auto placed = positionsOfAll(load(a.glb(), "m.glb"));
    ASSERT_EQ(placed.size(), 3u);
    expectNear(placed[0], {0, 100, 0, 1, 100, 0, 0, 101, 0}, "instance 0");
    expectNear(placed[1], {5, 100, 0, 5, 101, 0, 4, 100, 0}, "instance 1, turned");
    expectNear(placed[2], {0, 100, 7, 1, 100, 7, 0, 101, 7}, "instance 2");
}

TEST(GLTFPlacement, SkinnedMeshesStandInTheirBindPose) {
    AssetBuilder a;
    a.triangleMesh(unitTriangle, std::nullopt, "Skinned");
    a.document["nodes"] = {{{"mesh", 0}, {"skin", 0}, {"translation", {50, 0, 0}}}};
    a.document["scenes"] = {{{"nodes", {0}}}};
    expectNear(positionsOfAll(load(a.glb(), "m.glb"))[0], unitTriangle);
}

TEST(GLTFPlacement, MeshesOfNodesOutsideTheSceneAreNotShown) {
    AssetBuilder a = triangleAndOrphan();
    a.document["nodes"] = {{{"mesh", 0}}};
    a.document["scenes"] = {{{"nodes", json::array()}}};
    EXPECT_EQ(nodeNames(load(a.glb(), "m.glb")), std::vector<std::string>{"Orphan"});
}

} // namespace
} // namespace trimeo::test
