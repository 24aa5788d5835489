// Real files written by other tools: every one loads or fails with a readable error,
// and a few with known content give exactly that content.
#include "loading/ModelLoader.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <set>

using trimeo::ModelLoader;
namespace fs = std::filesystem;
namespace scene = trimeo::scene;

namespace {
struct Counts {
    std::size_t nodes = 0, triangles = 0;
    std::vector<std::string> names;
};

Counts countsOf(const ModelLoader::LoadResult& r) {
    Counts c;
    r.scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        ++c.nodes;
        if (n->name) c.names.push_back(*n->name);
        if (n->geometry) c.triangles += n->geometry->validTriangleCount();
    });
    return c;
}

ModelLoader::LoadResult loadModel(const std::string& relative) {
    fs::path path = trimeo::test::assimpModels() / relative;
    return ModelLoader::load(trimeo::test::readFile(path), path);
}
} // namespace

TEST(AssimpCorpus, EveryFileLoadsOrFailsReadably) {
    const std::set<std::string> folders{"OBJ", "STL", "PLY", "FBX", "Collada"};
    std::size_t loaded = 0, failed = 0;
    for (const auto& folder : folders) {
        fs::path dir = trimeo::test::assimpModels() / folder;
        ASSERT_TRUE(fs::is_directory(dir)) << dir << " (install assimp-testmodels)";
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            const fs::path& path = entry.path();
            if (ModelLoader::routeFor(ModelLoader::fileExtension(path)) == ModelLoader::Route::unsupported) continue;
            try {
                auto result = ModelLoader::load(trimeo::test::readFile(path), path);
                ASSERT_TRUE(result.scene) << path;
                EXPECT_EQ(result.hasAnimations, !result.animations.empty()) << path;
                ++loaded;
            } catch (const std::exception& e) {
                EXPECT_FALSE(std::string(e.what()).empty()) << path;
                ++failed;
            }
        }
    }
    EXPECT_GT(loaded, 60u);
    RecordProperty("loaded", int(loaded));
    RecordProperty("failed", int(failed));
    EXPECT_TRUE(trimeo::test::temporaryDirectoryEntries().empty());
}

TEST(AssimpCorpus, KnownStillModels) {
    Counts spider = countsOf(loadModel("STL/Spider_binary.stl"));
    EXPECT_EQ(spider.triangles, 1368u);
    Counts box = countsOf(loadModel("OBJ/box.obj"));
    EXPECT_EQ(box.triangles, 12u);
    // The temporary file's name never becomes a node name.
    for (const auto& name : box.names) EXPECT_EQ(name.find(".obj"), std::string::npos) << name;
    EXPECT_EQ(countsOf(loadModel("PLY/cube.ply")).triangles, 12u);
    auto duck = loadModel("Collada/duck.dae");
    EXPECT_FALSE(duck.hasAnimations);
    Counts duckCounts = countsOf(duck);
    EXPECT_EQ(duckCounts.triangles, 4212u);
    EXPECT_NE(std::find(duckCounts.names.begin(), duckCounts.names.end(), "LOD3sp"), duckCounts.names.end());
}

TEST(AssimpCorpus, AnimatedColladaGivesNodeKeyedAnimations) {
    auto result = loadModel("Collada/box_nested_animation.dae");
    ASSERT_TRUE(result.hasAnimations);
    ASSERT_EQ(result.animations.count("Armature_Bone_Armature"), 1u);
    // The map holds the very animation attached to the node that carries it.
    const scene::Node* bone = nullptr;
    result.scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (n->name == "Armature_Bone") bone = n.get();
    });
    ASSERT_NE(bone, nullptr);
    EXPECT_EQ(bone->animation("Armature"), result.animations.at("Armature_Bone_Armature"));
    EXPECT_TRUE(bone->animation("Armature")->hasTracks());
}

TEST(AssimpCorpus, ColladaMaterialsSurviveAndDefaultMaterialsDoNot) {
    // duck.dae defines a textured material; an STL defines none.
    bool duckHasDiffuse = false;
    loadModel("Collada/duck.dae").scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (n->geometry && n->geometry->firstMaterial() && n->geometry->firstMaterial()->diffuse.hasContents())
            duckHasDiffuse = true;
    });
    EXPECT_TRUE(duckHasDiffuse);
    loadModel("STL/Spider_binary.stl").scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (n->geometry) {
            EXPECT_TRUE(n->geometry->materials.empty());
        }
    });
}
