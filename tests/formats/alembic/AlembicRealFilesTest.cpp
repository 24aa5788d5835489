// Archives written by Houdini, Maya and Blender; the expected figures were counted from the
// files' own face counts and points with a separate script.
#include "formats/alembic/AlembicReader.h"
#include "loading/ModelLoader.h"
#include "support/ReadBytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using trimeo::LoaderError;
namespace scene = trimeo::scene;

namespace {
std::filesystem::path fixture(const std::string& relative) {
    return trimeo::test::sharedFixtures() / "real/abc" / relative;
}
const std::string kUsdAbc = "OpenUSD/pxr/usd/plugin/usdAbc/testenv/";

std::size_t triangles(const scene::Node& root) {
    std::size_t n = 0;
    root.enumerateChildNodes([&](const scene::Node::Ptr& node) {
        if (node->geometry) n += node->geometry->validTriangleCount();
    });
    return n;
}

void load(const std::filesystem::path& path) { trimeo::ModelLoader::load(trimeo::test::readFile(path), path); }

struct Expected {
    std::string file;
    std::size_t meshes, triangles;
    scene::Vector3 min, max;
};
} // namespace

TEST(AlembicRealFiles, MeshCountsTrianglesAndBoundsAgreeWithTheFiles) {
    const Expected cases[] = {
        // Houdini: a cube at the first of 30 samples, under an identity matrix.
        {"testUsdAbcAlembicData/testusdtimecode.abc", 1, 12, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}},
        // Blender: a 2-unit cube.
        {"testUsdAbcIndexedProperties/indexedTextureCoordinates.abc", 1, 12, {-1, -1, -1}, {1, 1, 1}},
        // Maya: two unit cubes, each translated and scaled by 4.1374 by its transform.
        {"testUsdAbcIndexedGeomArb/hasColorSet.abc", 2, 24, {-5.710351, 0.040750, -2.068699},
         {5.126614, 4.178149, 2.068699}},
    };
    for (const Expected& e : cases) {
        const auto bytes = trimeo::test::readFile(fixture(kUsdAbc + e.file));
        auto read = trimeo::test::readBytes(trimeo::readAlembic, bytes, "abc");
        ASSERT_TRUE(read) << e.file;
        EXPECT_EQ(read->count, e.meshes) << e.file;
        EXPECT_EQ(triangles(*read->scene->rootNode), e.triangles) << e.file;
        scene::BoundingBox box = read->scene->rootNode->boundingBox();
        for (auto [got, want] : {std::pair{box.min, e.min}, std::pair{box.max, e.max}}) {
            EXPECT_NEAR(got.x, want.x, 1e-5) << e.file;
            EXPECT_NEAR(got.y, want.y, 1e-5) << e.file;
            EXPECT_NEAR(got.z, want.z, 1e-5) << e.file;
        }
    }
}

TEST(AlembicRealFiles, ACameraOnlyArchiveHasNoGeometryAndHDF5IsRefusedWithAReason) {
    // A camera and transforms whose leaves carry no schema: nothing to draw.
    try {
        load(fixture(kUsdAbc + "testUsdAbcCamera/testAbcCamera.abc"));
        ADD_FAILURE() << "loaded a camera as geometry";
    } catch (const LoaderError& e) {
        EXPECT_EQ(e.kind(), LoaderError::Kind::noGeometry);
    }
    try {
        load(fixture("alembic/prman/Tests/testdata/cube.abc"));
        ADD_FAILURE() << "loaded HDF5";
    } catch (const LoaderError& e) {
        EXPECT_EQ(e.kind(), LoaderError::Kind::parseError);
        EXPECT_NE(e.payload().find("HDF5"), std::string::npos);
    }
}
