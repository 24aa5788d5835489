#include "loading/ModelLoader.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <random>

using trimeo::AnimationMap;
using trimeo::LoaderError;
using trimeo::ModelLoader;
using trimeo::test::bytes;
using trimeo::test::temporaryDirectoryEntries;
namespace scene = trimeo::scene;

namespace {
std::filesystem::path named(const std::string& name) { return std::filesystem::path("/nowhere") / name; }

scene::Node::Ptr animatedNode(std::optional<std::string> name, const std::string& key,
                              std::shared_ptr<scene::Animation> animation) {
    auto n = scene::Node::make();
    n->name = std::move(name);
    n->addAnimation(std::move(animation), key);
    return n;
}
} // namespace

TEST(AssetRoute, EmptyOrJunkOBJHasNoGeometryAndLeavesNoFile) {
    for (const char* text : {"", "# only a comment\n", "o empty\n"}) {
        auto data = bytes(text);
        try {
            ModelLoader::load(data, named("empty.obj"));
            ADD_FAILURE() << "loaded '" << text << "'";
        } catch (const LoaderError& e) {
            EXPECT_EQ(e.kind(), LoaderError::Kind::noGeometry);
        }
        EXPECT_TRUE(temporaryDirectoryEntries().empty());
    }
}

TEST(AssetRoute, STLHasNoAnimations) {
    auto data = trimeo::test::readFile(trimeo::test::assimpModels() / "STL/Spider_ascii.stl");
    auto result = ModelLoader::load(data, named("Spider.STL"));
    EXPECT_FALSE(result.hasAnimations);
    EXPECT_TRUE(result.animations.empty());
    std::size_t triangles = 0;
    result.scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (n->geometry) triangles += n->geometry->validTriangleCount();
    });
    EXPECT_EQ(triangles, 1368u);
}

TEST(AssetRoute, MeshlessUSDAndAlembicEndInNoGeometry) {
    for (const char* name : {"a.usd", "a.usdz", "a.usda", "a.usdc", "a.abc"}) {
        auto data = bytes("#usda 1.0\n");
        try {
            ModelLoader::load(data, named(name));
            ADD_FAILURE() << name;
        } catch (const LoaderError& e) {
            EXPECT_EQ(e.kind(), LoaderError::Kind::noGeometry) << name;
        }
    }
    EXPECT_TRUE(temporaryDirectoryEntries().empty());
}

TEST(FBXRoute, UnreadableFBXIsAParseErrorAndTheCopyIsGone) {
    auto data = bytes("Kaydara FBX Binary  \0garbage that is no FBX at all");
    try {
        ModelLoader::load(data, named("broken.fbx"));
        FAIL() << "loaded a broken FBX";
    } catch (const LoaderError& e) {
        EXPECT_EQ(e.kind(), LoaderError::Kind::parseError);
        EXPECT_EQ(e.errorDescription(), "Parse error: FBX format requires Autodesk FBX SDK for full support");
    }
    EXPECT_TRUE(temporaryDirectoryEntries().empty());
}

TEST(FBXRoute, ReadableFBXGivesASceneWithoutAnimations) {
    auto data = trimeo::test::readFile(trimeo::test::assimpModels() / "FBX/box.fbx");
    auto result = ModelLoader::load(data, named("box.FBX"));
    EXPECT_FALSE(result.hasAnimations);
    EXPECT_TRUE(result.animations.empty());
    EXPECT_FALSE(result.scene->rootNode->childNodes().empty());
    EXPECT_TRUE(temporaryDirectoryEntries().empty());
}

TEST(SceneRoute, SceneArchivesCannotBeReadAndSayWhy) {
    auto data = bytes("bplist00 not a scene anyone here reads");
    try {
        ModelLoader::load(data, named("ship.scn"));
        FAIL();
    } catch (const trimeo::PlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot be read on this system"), std::string::npos);
    }
    EXPECT_TRUE(temporaryDirectoryEntries().empty());
}


TEST(SceneRoute, UnreadableColladaIsAPlatformErrorWithTheReason) {
    auto data = bytes("<?xml version=\"1.0\"?><COLLADA><broken");
    EXPECT_THROW(ModelLoader::load(data, named("x.dae")), trimeo::PlatformError);
    EXPECT_TRUE(temporaryDirectoryEntries().empty());
}

TEST(AnimationExtraction, KeysAreNodeNameUnderscoreKey) {
    scene::Node root;
    auto walk = std::make_shared<scene::Animation>();
    root.addChildNode(animatedNode("Hero", "walk", walk));
    root.addChildNode(animatedNode(std::nullopt, "walk", walk));
    root.addAnimation(walk, "idle"); // the root is visited too
    AnimationMap map;
    ModelLoader::extractSceneAnimations(root, map);
    EXPECT_EQ(map.size(), 3u);
    EXPECT_EQ(map.count("Hero_walk"), 1u);
    EXPECT_EQ(map.count("node_walk"), 1u);
    EXPECT_EQ(map.count("node_idle"), 1u);
}

TEST(AnimationExtraction, LastVisitedNodeWinsACollision) {
    scene::Node root;
    auto first = std::make_shared<scene::Animation>(), deeper = std::make_shared<scene::Animation>(),
         sibling = std::make_shared<scene::Animation>();
    auto arm = animatedNode("Arm", "spin", first);
    arm->addChildNode(animatedNode("Arm", "spin", deeper));
    root.addChildNode(arm);
    AnimationMap map;
    ModelLoader::extractSceneAnimations(root, map);
    EXPECT_EQ(map.at("Arm_spin"), deeper);
    root.addChildNode(animatedNode("Arm", "spin", sibling));
    ModelLoader::extractSceneAnimations(root, map);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map.at("Arm_spin"), sibling);
}

TEST(BadInput, RandomAndTruncatedBytesNeverCrashAnyRoute) {
    std::mt19937 rng(1234);
    std::vector<std::vector<std::uint8_t>> inputs;
    for (int i = 0; i < 6; ++i) {
        std::vector<std::uint8_t> junk(std::size_t(rng() % 4096));
        for (auto& b : junk) b = std::uint8_t(rng());
        inputs.push_back(junk);
    }
    for (const char* real : {"STL/Spider_binary.stl", "OBJ/box.obj", "PLY/cube_binary.ply", "Collada/duck.dae",
                             "FBX/box.fbx"}) {
        auto data = trimeo::test::readFile(trimeo::test::assimpModels() / real);
        for (double cut : {0.1, 0.5, 0.9}) inputs.emplace_back(data.begin(), data.begin() + std::ptrdiff_t(data.size() * cut));
    }
    for (const char* ext : {"stl", "obj", "ply", "usd", "usdz", "usda", "usdc", "abc", "dae", "scn", "gltf", "glb",
                            "3mf", "fbx", "vdb", "xyz"}) {
        for (const auto& input : inputs) {
            try {
                auto result = ModelLoader::load(input, named(std::string("junk.") + ext));
                EXPECT_TRUE(result.scene);
            } catch (const std::exception& e) {
                EXPECT_FALSE(std::string(e.what()).empty()) << ext;
            }
        }
        EXPECT_TRUE(temporaryDirectoryEntries().empty()) << ext;
    }
}

TEST(BadInput, ACrashingReaderCostsOnlyThatLoad) {
    // The asset library dies on this truncated binary PLY; the load must fail cleanly.
    auto data = trimeo::test::readFile(trimeo::test::assimpModels() / "PLY/cube_binary.ply");
    data.resize(data.size() / 2);
    try {
        ModelLoader::load(data, named("cut.ply"));
        ADD_FAILURE() << "a cut binary PLY loaded";
    } catch (const LoaderError& e) {
        EXPECT_EQ(e.kind(), LoaderError::Kind::noGeometry);
    }
    EXPECT_TRUE(temporaryDirectoryEntries().empty());
}
