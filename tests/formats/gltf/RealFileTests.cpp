// The importer against glTF 2.0 files written by other tools (Debian's assimp-testmodels and
// the shared real fixtures), checked against Assimp's reading of the same files where Assimp
// reads them correctly, and against what each file is known to hold otherwise.
#include "GLTFTestAssets.h"
#include "support/TestFiles.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace trimeo::test {
namespace {

namespace fs = std::filesystem;

const fs::path corpus() { return assimpModels() / "glTF2"; }
const fs::path samples() { return sharedFixtures() / "real" / "gltf"; }

ModelLoader::LoadResult loadFile(const fs::path& path) { return ModelLoader::load(readFile(path), path); }

// Triangles and the box around every placed vertex.
struct Extent {
    std::size_t triangles = 0;
    double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    void add(double x, double y, double z) {
        const double p[3] = {x, y, z};
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
    }
};

Extent ours(const ModelLoader::LoadResult& r) {
    Extent e;
    for (const auto& node : modelNodes(r)) {
        e.triangles += node->geometry->validTriangleCount();
        const auto xyz = positionsOf(*node);
        for (std::size_t i = 0; i + 2 < xyz.size(); i += 3) e.add(xyz[i], xyz[i + 1], xyz[i + 2]);
    }
    return e;
}

// Assimp's reading: its nodes' transforms baked in, strips and fans already lists; points
// and lines left out, as here.
Extent assimps(const fs::path& path) {
    Assimp::Importer importer;
    const aiScene* s = importer.ReadFile(path.string(), aiProcess_PreTransformVertices);
    Extent e;
    if (!s) return e;
    for (unsigned m = 0; m < s->mNumMeshes; ++m) {
        const aiMesh* mesh = s->mMeshes[m];
        if (!(mesh->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) e.triangles += mesh->mFaces[f].mNumIndices == 3;
        for (unsigned v = 0; v < mesh->mNumVertices; ++v)
            e.add(mesh->mVertices[v].x, mesh->mVertices[v].y, mesh->mVertices[v].z);
    }
    return e;
}

void expectSameExtent(const Extent& actual, const Extent& expected, const std::string& what) {
    EXPECT_EQ(actual.triangles, expected.triangles) << what;
    for (int k = 0; k < 3; ++k) {
        if (actual.lo[k] == expected.lo[k] && actual.hi[k] == expected.hi[k]) continue; // empty boxes included
        const double tolerance = 1e-4 * std::max(1.0, expected.hi[k] - expected.lo[k]);
        EXPECT_NEAR(actual.lo[k], expected.lo[k], tolerance) << what << " min " << k;
        EXPECT_NEAR(actual.hi[k], expected.hi[k], tolerance) << what << " max " << k;
    }
}

Extent box(std::size_t triangles, std::array<double, 3> lo, std::array<double, 3> hi) {
    Extent e;
    e.triangles = triangles;
    e.add(lo[0], lo[1], lo[2]);
    e.add(hi[0], hi[1], hi[2]);
    return e;
}

TEST(GLTFRealFiles, EveryFileLoadsOrFailsWithALoaderError) {
    if (!fs::is_directory(corpus())) GTEST_SKIP() << "assimp-testmodels not installed";
    std::size_t loaded = 0, refused = 0;
    for (const fs::path& folder : {corpus(), samples()}) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const std::string ext = ModelLoader::fileExtension(entry.path());
            if (ext != "gltf" && ext != "glb") continue;
            SCOPED_TRACE(entry.path().string());
            try {
                auto r = loadFile(entry.path());
                ++loaded;
                for (const auto& node : modelNodes(r)) {
                    ASSERT_TRUE(node->geometry);
                    EXPECT_GT(node->geometry->vertexCount(), 0u);
                }
            } catch (const LoaderError&) {
                ++refused;
            }
        }
    }
    EXPECT_GE(loaded, 55u);
    EXPECT_GE(refused, 3u); // documents without "meshes", the missing buffer, glTF 1.0
}

// Files Assimp reads as their authors meant: node hierarchies, shared meshes, external and
// embedded buffers, strides, sparse data, strips and fans, Draco.
TEST(GLTFRealFiles, AgreeWithAssimpOnTrianglesAndExtent) {
    if (!fs::is_directory(corpus()) || !fs::is_directory(samples())) GTEST_SKIP() << "corpora not installed";
    const std::vector<fs::path> files = {
        corpus() / "2CylinderEngine-glTF-Binary/2CylinderEngine.glb",
        corpus() / "draco/2CylinderEngine.gltf",
        corpus() / "BoxTextured-glTF/BoxTextured.gltf",
        corpus() / "BoxTextured-glTF-Binary/BoxTextured.glb",
        corpus() / "BoxTextured-glTF-Embedded/BoxTextured.gltf",
        corpus() / "BoxTextured-glTF-pbrSpecularGlossiness/BoxTextured.gltf",
        corpus() / "cameras/Cameras.gltf",
        corpus() / "glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf",
        samples() / "glTF-Sample-Assets/Models/CesiumMilkTruck/glTF-Binary/CesiumMilkTruck.glb",
        samples() / "glTF-Sample-Assets/Models/CesiumMilkTruck/glTF-Draco/CesiumMilkTruck.gltf",
        samples() / "glTF-Sample-Assets/Models/Box With Spaces/glTF/Box With Spaces.gltf",
        samples() / "glTF-Sample-Assets/Models/BoxInterleaved/glTF-Binary/BoxInterleaved.glb",
        samples() / "glTF-Sample-Assets/Models/AnimatedCube/glTF/AnimatedCube.gltf",
        samples() / "glTF-Sample-Assets/Models/MultipleScenes/glTF/MultipleScenes.gltf",
        samples() / "glTF-Sample-Assets/Models/SimpleSparseAccessor/glTF/SimpleSparseAccessor.gltf",
        samples() / "glTF-Sample-Assets/Models/TriangleWithoutIndices/glTF/TriangleWithoutIndices.gltf",
        samples() / "draco/testdata/Box/glTF_Binary/Box_Draco.glb",
        samples() / "glTF-Transform/packages/extensions/test/in/DracoSparseMesh.gltf",
        samples() / "glTF-Sample-Assets/Models/Fox/glTF-Binary/Fox.glb",
        corpus() / "simple_skin/simple_skin.gltf",
        corpus() / "BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb",
        corpus() / "IndexOutOfRange/IndexOutOfRange.gltf",
        corpus() / "textureTransform/TextureTransformTest.gltf",
        corpus() / "ClearCoat-glTF/ClearCoatTest.gltf",
    };
    std::vector<fs::path> all = files;
    for (int mode = 0; mode <= 15; ++mode) {
        char name[80];
        std::snprintf(name, sizeof name, "glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_%02d.gltf", mode);
        all.push_back(corpus() / name);
    }
    for (const fs::path& file : all) expectSameExtent(ours(loadFile(file)), assimps(file), file.string());
}

// Assimp 5.2 does not read these as meant: expectations from the files themselves.
TEST(GLTFRealFiles, FilesAssimpMisreadsMatchTheirKnownContent) {
    if (!fs::is_directory(samples())) GTEST_SKIP() << "real fixtures not present";
    const fs::path models = samples() / "glTF-Sample-Assets/Models";

    // The meshopt box is the quantised unit box of glTF-Transform's tests: 12 triangles in
    // [-0.5, 0.5]^3 once the node's dequantising scale and offset apply (16383 steps).
    expectSameExtent(ours(loadFile(samples() / "glTF-Transform/packages/extensions/test/in/BoxMeshopt.glb")),
                     box(12, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}), "BoxMeshopt");

    // The figures below come from a small independent script over each file's JSON and
    // buffer (node transforms, instancing attributes, triangle modes).
    // 125 instances of a 12-triangle box (Assimp 5.2 ignores the instancing).
    const auto instancing = loadFile(models / "SimpleInstancing/glTF/SimpleInstancing.gltf");
    EXPECT_EQ(modelNodes(instancing).size(), 125u);
    expectSameExtent(ours(instancing), box(1500, {-1.6666667, -1.6666667, -1.6666667}, {12.7317073, 12.7317073, 12.7317073}),
                     "SimpleInstancing");

    // One primitive per mode: points and lines draw nothing; the list, the strip and the fan
    // (Assimp 5.2 also counts a line mode as triangles).
    const auto modes = loadFile(models / "MeshPrimitiveModes/glTF/MeshPrimitiveModes.gltf");
    EXPECT_EQ(nodeNames(modes), (std::vector<std::string>{"mesh with TRIANGLES", "mesh with GL_TRIANGLE_STRIP",
                                                           "mesh with GL_TRIANGLE_FAN"}));
    expectSameExtent(ours(modes), box(16, {-2.866, -4, 0}, {2.866, -2, 0}), "MeshPrimitiveModes");
}

TEST(GLTFRealFiles, KnownContent) {
    if (!fs::is_directory(corpus())) GTEST_SKIP() << "assimp-testmodels not installed";

    // Nodes are named after their meshes; each placement of a primitive is a node: 115 for
    // the 34 primitives, the block "body_24" placed by two nodes.
    auto engine = loadFile(corpus() / "2CylinderEngine-glTF-Binary/2CylinderEngine.glb");
    auto names = nodeNames(engine);
    EXPECT_EQ(std::count(names.begin(), names.end(), "body_24"), 2);
    EXPECT_EQ(names.size(), 115u);

    // An unnamed mesh and an unnamed animation.
    auto skin = loadFile(corpus() / "simple_skin/simple_skin.gltf");
    EXPECT_EQ(nodeNames(skin), std::vector<std::string>{"mesh_0"});
    ASSERT_EQ(skin.animations.size(), 1u);
    EXPECT_EQ(skin.animations.begin()->first, "animation_0");

    // Five quads, each six unsigned-byte indices (0 1 2 3 1 0 in its embedded buffer): two
    // triangles each. Assimp refuses this file.
    auto quads = loadFile(corpus() / "issue_3269/texcoord_crash.gltf");
    EXPECT_EQ(modelNodes(quads).size(), 5u);
    EXPECT_EQ(ours(quads).triangles, 10u);

    // The truck: body, glass and two wheel pairs placed by two nodes sharing one mesh.
    auto truck = loadFile(samples() / "glTF-Sample-Assets/Models/CesiumMilkTruck/glTF-Binary/CesiumMilkTruck.glb");
    names = nodeNames(truck);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Wheels"), 2);

    // A missing buffer file, a glTF 1.0 document, a document without meshes.
    EXPECT_EQ(loadError(readFile(corpus() / "MissingBin/BoxTextured.gltf"), (corpus() / "MissingBin/BoxTextured.gltf").string()),
              "Parse error: glTF buffer 'BoxTextured0.bin' could not be read: not found");
    const fs::path duck = samples() / "KhronosGroup-glTF/sampleModels/Duck/glTF/Duck.gltf";
    EXPECT_EQ(loadError(readFile(duck), duck.string()), "Parse error: glTF 1.0 files are not supported; re-export as glTF 2.0");
    EXPECT_THROW(loadFile(corpus() / "RecursiveNodes/RecursiveNodes.gltf"), LoaderError);

    // Infinities in accessor bounds no longer fail the JSON.
    EXPECT_NO_THROW(loadFile(corpus() / "BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb"));
}

} // namespace
} // namespace trimeo::test
