// Skinned meshes read through the asset library keep their bones: joint names that name
// nodes of the scene, one inverse bind matrix each, and four joints and weights per
// vertex; and all of it survives the hand-over from the reader process.
#include "formats/assimp/AssetImport.h"
#include "formats/assimp/SceneTransfer.h"
#include "formats/common/LoaderError.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <set>

namespace trimeo {
namespace {

using scene::Semantic;

// The first skinned geometry read from `file` and the names of the scene's nodes.
std::pair<const scene::Geometry*, std::set<std::string>> firstSkinnedIn(ReaderResult& read, const std::string& file) {
    read = readAssetFile(test::assimpModels() / file, /*withAnimations=*/true);
    const scene::Geometry* found = nullptr;
    std::set<std::string> names;
    if (read.scene)
        read.scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
            if (!found && n->geometry && n->geometry->skin) found = n->geometry.get();
            if (n->name) names.insert(*n->name);
        });
    return {found, names};
}

TEST(Skin, ColladaAndFbxSkinsNameNodesOfTheScene) {
    for (const auto& [file, joints] : {std::pair{"Collada/box_nested_animation.dae", 1u}, {"FBX/animation_with_skeleton.fbx", 2u}}) {
        ReaderResult read;
        const auto [g, names] = firstSkinnedIn(read, file);
        ASSERT_NE(g, nullptr) << file;
        EXPECT_GE(g->skin->jointNames.size(), joints) << file;
        EXPECT_EQ(g->skin->inverseBindMatrices.size(), g->skin->jointNames.size()) << file;
        for (const std::string& joint : g->skin->jointNames) EXPECT_TRUE(names.count(joint)) << file << ": " << joint;
    }
}

TEST(Skin, ColladaSkinWeighsEveryVertexFullyToItsOneJoint) {
    ReaderResult read;
    const scene::Geometry* g = firstSkinnedIn(read, "Collada/box_nested_animation.dae").first;
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->skin->jointNames.size(), 1u);
    const scene::GeometrySource* joints = g->source(Semantic::boneIndices);
    const scene::GeometrySource* weights = g->source(Semantic::boneWeights);
    ASSERT_TRUE(joints && weights);
    ASSERT_EQ(weights->vectorCount(), g->vertexCount());
    for (std::size_t v = 0; v < g->vertexCount(); ++v) {
        const float* w = &weights->data[v * 4];
        EXPECT_NEAR(w[0] + w[1] + w[2] + w[3], 1.0f, 1e-5f) << v; // every vertex follows its bone fully
        for (int i = 0; i < 4; ++i) EXPECT_LT(joints->data[v * 4 + i], 1.0f);
    }
}

TEST(Skin, SurvivesTheHandOverAndDamageIsRefused) {
    auto g = std::make_shared<scene::Geometry>();
    g->sources = {scene::GeometrySource::vertices({0, 0, 0, 1, 0, 0, 0, 1, 0}),
                  scene::GeometrySource::boneIndices({0, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0}),
                  scene::GeometrySource::boneWeights({0.5f, 0.5f, 0, 0, 1, 0, 0, 0, 0.25f, 0.75f, 0, 0})};
    scene::Skin& skin = g->skin.emplace();
    skin.jointNames = {"hip", "knee"};
    skin.inverseBindMatrices.resize(2);
    skin.inverseBindMatrices[1].at(0, 3) = -2.5;
    AssetRead read;
    read.count = 1;
    read.scene = std::make_shared<scene::Scene>();
    read.scene->rootNode->addChildNode(scene::Node::make(g));
    std::vector<std::uint8_t> bytes;
    encodeAssetRead(read, bytes);

    const AssetRead back = decodeAssetRead(bytes);
    const scene::Geometry& h = *back.scene->rootNode->childNodes().at(0)->geometry;
    ASSERT_TRUE(h.skin);
    EXPECT_EQ(h.skin->jointNames, skin.jointNames);
    EXPECT_EQ(h.skin->inverseBindMatrices[1].m, skin.inverseBindMatrices[1].m);
    EXPECT_EQ(h.source(Semantic::boneWeights)->data, g->sources[2].data);
    EXPECT_EQ(h.source(Semantic::boneIndices)->componentsPerVector, 4);

    bytes.pop_back(); // a cut hand-over is an error, not a scene
    EXPECT_THROW(decodeAssetRead(bytes), PlatformError);
}

} // namespace
} // namespace trimeo
