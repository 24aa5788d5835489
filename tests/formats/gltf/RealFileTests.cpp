// The importer against glTF 2.0 files written by other tools (Debian's assimp-testmodels).
#include "GLTFTestAssets.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace trimeo::test {
namespace {

namespace fs = std::filesystem;

const fs::path corpus() { return assimpModels() / "glTF2"; }

ModelLoader::LoadResult loadFile(const fs::path& relative) {
    const fs::path path = corpus() / relative;
    return ModelLoader::load(readFile(path), path);
}

std::size_t triangles(const ModelLoader::LoadResult& r) {
    std::size_t n = 0;
    for (const auto& node : modelNodes(r)) n += node->geometry->validTriangleCount();
    return n;
}

TEST(GLTFRealFiles, EveryFileLoadsOrFailsWithALoaderError) {
    if (!fs::is_directory(corpus())) GTEST_SKIP() << "assimp-testmodels not installed";
    std::size_t loaded = 0, refused = 0;
    for (const auto& entry : fs::recursive_directory_iterator(corpus())) {
        const std::string ext = ModelLoader::fileExtension(entry.path());
        if (ext != "gltf" && ext != "glb") continue;
        SCOPED_TRACE(entry.path().string());
        try {
            auto r = ModelLoader::load(readFile(entry.path()), entry.path());
            ++loaded;
            for (const auto& node : modelNodes(r)) {
                ASSERT_TRUE(node->geometry);
                EXPECT_GT(node->geometry->vertexCount(), 0u);
            }
        } catch (const LoaderError&) {
            ++refused;
        }
    }
    EXPECT_GE(loaded, 40u);
    EXPECT_GE(refused, 1u); // the documents without "meshes"
}

TEST(GLTFRealFiles, KnownContent) {
    if (!fs::is_directory(corpus())) GTEST_SKIP() << "assimp-testmodels not installed";

    // The same textured box, binary and with its buffer embedded as base64.
    for (const char* box : {"BoxTextured-glTF-Binary/BoxTextured.glb", "BoxTextured-glTF-Embedded/BoxTextured.gltf"}) {
        SCOPED_TRACE(box);
        auto r = loadFile(box);
        ASSERT_EQ(nodeNames(r), std::vector<std::string>{"Mesh"});
        EXPECT_EQ(modelNodes(r)[0]->geometry->vertexCount(), 24u);
        EXPECT_EQ(triangles(r), 12u);
        EXPECT_FALSE(r.hasAnimations);
    }

    // 29 meshes with 34 primitives: two nodes for the two-primitive piston, three for the spring.
    auto engine = loadFile("2CylinderEngine-glTF-Binary/2CylinderEngine.glb");
    auto names = nodeNames(engine);
    ASSERT_EQ(names.size(), 34u);
    EXPECT_EQ(names[0], "Piston_123-844_0_Parts_1");
    EXPECT_EQ(names[1], "Piston_123-844_0_Parts_1");
    EXPECT_EQ(names[2], "body_24");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Spring_Link__0_Parts_1"), 3);

    // An unnamed mesh and an unnamed animation.
    auto skin = loadFile("simple_skin/simple_skin.gltf");
    EXPECT_EQ(nodeNames(skin), std::vector<std::string>{"mesh_0"});
    ASSERT_EQ(skin.animations.size(), 1u);
    EXPECT_EQ(skin.animations.begin()->first, "animation_0");
    EXPECT_TRUE(skin.hasAnimations);

    // Unsigned-byte indices: the five nodes exist and draw nothing.
    auto bytesIndexed = loadFile("issue_3269/texcoord_crash.gltf");
    EXPECT_EQ(nodeNames(bytesIndexed),
              (std::vector<std::string>{"TopRightMesh", "TopLeftMesh", "BottomRightMesh", "BackPlaneMesh", "BottomLeftMesh"}));
    EXPECT_EQ(triangles(bytesIndexed), 0u);

    // Buffers in separate files are never fetched: no nodes, but the animation names still count.
    EXPECT_TRUE(modelNodes(loadFile("BoxTextured-glTF/BoxTextured.gltf")).empty());
    auto morph = loadFile("glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf");
    EXPECT_TRUE(modelNodes(morph).empty());
    EXPECT_EQ(morph.animations.count("Square"), 1u);

    EXPECT_THROW(loadFile("RecursiveNodes/RecursiveNodes.gltf"), LoaderError); // no "meshes"
}

} // namespace
} // namespace trimeo::test
