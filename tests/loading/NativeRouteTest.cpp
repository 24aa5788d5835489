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

namespace {
const std::string noGeometry = "No geometry found in file";

// What loading `data` as `name` ends in: "loaded", the LoaderError's description, or
// "platform: " and the PlatformError's reason. Either way no temporary file may stay.
std::string outcome(const std::vector<std::uint8_t>& data, const std::string& name) {
    std::string result = "loaded";
    try {
        ModelLoader::load(data, named(name));
    } catch (const LoaderError& e) {
        result = e.errorDescription();
    } catch (const trimeo::PlatformError& e) {
        result = std::string("platform: ") + e.what();
    }
    EXPECT_TRUE(temporaryDirectoryEntries().empty()) << name;
    return result;
}
} // namespace

TEST(Routes, UnreadableFilesAreRefusedAsTheirRouteSaysAndLeaveNoFile) {
    for (const char* text : {"", "# only a comment\n", "o empty\n"})
        EXPECT_EQ(outcome(bytes(text), "empty.obj"), noGeometry) << text;
    for (const char* name : {"a.usd", "a.usdz", "a.usda", "a.usdc", "a.abc"})
        EXPECT_EQ(outcome(bytes("#usda 1.0\n"), name), noGeometry);
    EXPECT_EQ(outcome(bytes("Kaydara FBX Binary  \0garbage that is no FBX at all"), "broken.fbx"),
              "Parse error: FBX format requires Autodesk FBX SDK for full support");
    const std::string scene = outcome(bytes("bplist00 not a scene anyone here reads"), "ship.scn");
    EXPECT_TRUE(scene.starts_with("platform: ") && scene.find("cannot be read on this system") != std::string::npos)
        << scene;
    EXPECT_TRUE(outcome(bytes("<?xml version=\"1.0\"?><COLLADA><broken"), "x.dae").starts_with("platform: "));
    // The asset library dies on this truncated binary PLY: only that load may fail.
    auto ply = trimeo::test::readFile(trimeo::test::assimpModels() / "PLY/cube_binary.ply");
    ply.resize(ply.size() / 2);
    EXPECT_EQ(outcome(ply, "cut.ply"), noGeometry);
}

TEST(Routes, StillModelsOfEitherCaseOfExtensionLoadWithoutAnimations) {
    for (const auto& [file, name] : {std::pair{"STL/Spider_ascii.stl", "Spider.STL"}, {"FBX/box.fbx", "box.FBX"}}) {
        auto result = ModelLoader::load(trimeo::test::readFile(trimeo::test::assimpModels() / file), named(name));
        EXPECT_FALSE(result.hasAnimations) << name;
        EXPECT_TRUE(result.animations.empty()) << name;
        std::size_t triangles = 0;
        result.scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
            if (n->geometry) triangles += n->geometry->validTriangleCount();
        });
        EXPECT_EQ(triangles, std::string(name) == "Spider.STL" ? 1368u : 12u) << name;
        EXPECT_TRUE(temporaryDirectoryEntries().empty());
    }
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
