#include "GLTFTestAssets.h"
#include "formats/gltf/DecodeBudget.h"

#include <gtest/gtest.h>

namespace trimeo::test {
namespace {

const std::vector<float> unitTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

ModelLoader::LoadResult loadText(const json& document) { return load(jsonBytes(document), "m.gltf"); }

TEST(GLTFScene, MeshesMustBeAnArrayOfObjects) {
    for (const json& document : {json::object(), json{{"meshes", json::object()}}, json{{"meshes", {1}}},
                                 json{{"meshes", json::array({json::object(), 1})}}, json{{"meshes", "x"}}})
        EXPECT_EQ(loadError(jsonBytes(document), "m.gltf"), "No geometry found in file") << document.dump();
}

TEST(GLTFScene, EmptyOrBufferlessMeshesGiveAnEmptyScene) {
    auto r = loadText({{"meshes", json::array()}});
    EXPECT_TRUE(modelNodes(r).empty());
    EXPECT_TRUE(r.animations.empty());
    EXPECT_FALSE(r.hasAnimations);

    AssetBuilder a;
    a.triangleMesh(unitTriangle);
    EXPECT_TRUE(modelNodes(loadText(a.document)).empty()); // no "uri": no buffer
}

TEST(GLTFScene, OneNodePerPrimitiveNamedAfterItsMesh) {
    AssetBuilder a;
    const int first = a.positions(unitTriangle);
    const int second = a.positions({0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 2, 0, 3, 3, 0, 3, 0, 0});
    a.mesh(json::array({AssetBuilder::primitive(first), AssetBuilder::primitive(second)}), "Body");
    auto r = load(a.glb(), "m.glb");
    ASSERT_EQ(nodeNames(r), (std::vector<std::string>{"Body", "Body"}));
    EXPECT_EQ(modelNodes(r)[0]->geometry->vertexCount(), 3u);
    EXPECT_EQ(modelNodes(r)[1]->geometry->vertexCount(), 6u);
    for (const auto& node : modelNodes(r)) {
        EXPECT_TRUE(node->childNodes().empty());
        EXPECT_TRUE(node->animations().empty());
    }
}

TEST(GLTFScene, UnnamedMeshesArePositionedAmongAllMeshes) {
    AssetBuilder a;
    const int p = a.positions(unitTriangle);
    a.mesh(json::array());                                  // 0: no primitives
    a.document["meshes"].push_back({{"primitives", {1}}});   // 1: primitives not objects
    a.mesh(json::array({{{"attributes", json::object()}}})); // 2: primitive without geometry
    a.mesh(json::array({AssetBuilder::primitive(p)}));      // 3
    a.document["meshes"].push_back({{"name", 7}, {"primitives", {AssetBuilder::primitive(p)}}}); // 4: name not text
    a.mesh(json::array({AssetBuilder::primitive(p)}), ""); // 5: empty text is a name
    EXPECT_EQ(nodeNames(load(a.glb(), "m.glb")), (std::vector<std::string>{"mesh_3", "mesh_4", ""}));
}

TEST(GLTFScene, PrimitivesSharingAccessorsGetTheirOwnGeometry) {
    AssetBuilder a;
    const int p = a.positions(unitTriangle);
    a.mesh(json::array({AssetBuilder::primitive(p), AssetBuilder::primitive(p)}));
    auto nodes = modelNodes(load(a.glb(), "m.glb"));
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_NE(nodes[0]->geometry, nodes[1]->geometry);
    EXPECT_EQ(positionsOf(*nodes[0]), positionsOf(*nodes[1]));
}

TEST(GLTFScene, AnimationsBecomePlaceholderEntriesByName) {
    json d = {{"meshes", json::array()}};
    d["animations"] = {{{"name", "Walk"}, {"channels", json::array()}}, {{"name", "Walk"}}, json::object(),
                       {{"name", 3}}, {{"name", "Run"}}};
    auto r = loadText(d);
    std::vector<std::string> keys;
    for (const auto& [key, animation] : r.animations) {
        keys.push_back(key);
        ASSERT_TRUE(animation);
        EXPECT_FALSE(animation->hasTracks());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Run", "Walk", "animation_2", "animation_3"}));
    EXPECT_TRUE(r.hasAnimations);

    d["animations"] = json::array({json::object()});
    r = loadText(d);
    ASSERT_EQ(r.animations.size(), 1u);
    EXPECT_EQ(r.animations.begin()->first, "animation_0");

    for (const json& notObjects : {json::object(), json{{"name", "Walk"}}, json::array({json::object(), 1}), json("x")}) {
        d["animations"] = notObjects;
        r = loadText(d);
        EXPECT_TRUE(r.animations.empty()) << notObjects.dump();
        EXPECT_FALSE(r.hasAnimations);
    }
}

TEST(GLTFScene, PrimitivesSharingAnAccessorCannotMultiplyMemoryWithoutBound) {
    // 200 primitives over one accessor of 100000 vertices: each would copy 1.2 MB of positions
    // and make 0.4 MB of consecutive indices. The document's budget stops them first.
    const std::size_t vertices = 100000;
    AssetBuilder a;
    const int p = a.positions(std::vector<float>(vertices * 3, 0.5f));
    a.mesh(json::array(), "Shared");
    for (int i = 0; i < 200; ++i) a.document["meshes"][0]["primitives"].push_back(AssetBuilder::primitive(p));
    const std::size_t perPrimitive = vertices * 16;
    const std::size_t allowed =
        (gltf::DecodeBudget::baseBytes + gltf::DecodeBudget::bytesPerBufferByte * a.buffer.size()) / perPrimitive;
    ASSERT_LT(allowed, 200u);
    EXPECT_EQ(modelNodes(load(a.glb(), "m.glb")).size(), allowed);
}

TEST(GLTFScene, AccessorAndViewListsMustHoldOnlyObjects) {
    AssetBuilder a;
    a.triangleMesh(unitTriangle);
    a.document["accessors"].push_back(1);
    EXPECT_TRUE(modelNodes(load(a.glb(), "m.glb")).empty());
    a.document["accessors"].erase(1);
    a.document["bufferViews"].push_back("x");
    EXPECT_TRUE(modelNodes(load(a.glb(), "m.glb")).empty());
}

} // namespace
} // namespace trimeo::test
