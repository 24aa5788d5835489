#include "AlembicWriter.h"
#include "loading/ModelLoader.h"
#include "formats/alembic/AlembicReader.h"
#include "support/TestFiles.h"
#include "support/ReadBytes.h"

#include <gtest/gtest.h>

using trimeo::ModelLoader;
auto readAlembic(std::span<const std::uint8_t> bytes) { return *trimeo::test::readBytes(trimeo::readAlembic, bytes, "abc"); }
using namespace trimeo::test::abc;
namespace scene = trimeo::scene;

namespace {
// A unit quad in z = 0, wound clockwise seen from +z as Alembic stores faces.
const std::vector<float> kQuad{0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0};

scene::Vector3 point(const scene::Geometry& g, std::uint32_t i) {
    const auto& p = g.source(scene::Semantic::vertex)->data;
    return {p[i * 3], p[i * 3 + 1], p[i * 3 + 2]};
}
// The z of a triangle's counter-clockwise normal.
double facingZ(const scene::Geometry& g, std::size_t tri) {
    const auto& idx = g.elements[0].indices;
    auto a = point(g, idx[tri * 3]), b = point(g, idx[tri * 3 + 1]), c = point(g, idx[tri * 3 + 2]);
    return scene::cross(b - a, c - a).z;
}
bool near(scene::Vector3 a, scene::Vector3 b) { return scene::length(a - b) < 1e-9; }

// Where the archive's top object is stored, and what its entry k points at (0: its
// properties, 1 on: its children).
std::uint64_t topObject(const Bytes& file) { return u64At(file, u64At(file, 8) + 8 + 2 * 8); }
std::uint64_t topEntry(const Bytes& file, std::size_t k) { return u64At(file, topObject(file) + 8 + k * 8); }
// Aims the top object's entries first..last at `target`.
void aimTopEntries(Bytes& file, std::size_t first, std::size_t last, std::uint64_t target) {
    const std::uint64_t top = topObject(file);
    for (std::size_t k = first; k <= last; ++k) putU64(file, top + 8 + k * 8, target);
}
} // namespace

TEST(AlembicMesh, QuadIsFanTriangulatedAndTurnedToFaceTheViewer) {
    for (bool indexed : {false, true}) {
        auto read = readAlembic(writeArchive({polyMesh("quad", kQuad, {4}, {0, 1, 2, 3})}, {indexed}));
        ASSERT_EQ(read.count, 1u) << indexed;
        const auto& node = read.scene->rootNode->childNodes().at(0);
        EXPECT_EQ(node->name, "quad");
        ASSERT_TRUE(node->geometry);
        const scene::Geometry& g = *node->geometry;
        EXPECT_EQ(g.source(scene::Semantic::vertex)->data, kQuad);
        ASSERT_EQ(g.validTriangleCount(), 2u);
        EXPECT_GT(facingZ(g, 0), 0);
        EXPECT_GT(facingZ(g, 1), 0);
        EXPECT_FALSE(g.source(scene::Semantic::normal));
    }
}

TEST(AlembicMesh, BadFacesAreDroppedAndTheRestKept) {
    // A two-corner face, a face naming point 9, a good triangle, then a count past the indices.
    auto read = readAlembic(writeArchive({polyMesh("m", kQuad, {2, 3, 3, 5}, {0, 1, 0, 1, 9, 0, 1, 2, 3})}));
    ASSERT_EQ(read.count, 1u);
    const auto& g = *read.scene->rootNode->childNodes()[0]->geometry;
    EXPECT_EQ(g.elements[0].indices, std::vector<std::uint32_t>({2, 1, 0}));

    auto none = readAlembic(writeArchive({polyMesh("m", kQuad, {3}, {0, 1, 7})}));
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.scene->rootNode->childNodes().size(), 1u); // the object is still a node
}

TEST(AlembicMesh, NormalsPerCornerUnshareThePointsAndNormalsPerPointAreKept) {
    std::vector<float> cornerNormals;
    for (int c = 0; c < 4; ++c) cornerNormals.insert(cornerNormals.end(), {0, 0, float(c + 1)});
    auto corner = readAlembic(writeArchive({polyMesh("m", kQuad, {4}, {3, 2, 1, 0}, cornerNormals)}));
    const auto& g = *corner.scene->rootNode->childNodes()[0]->geometry;
    const auto* n = g.source(scene::Semantic::normal);
    ASSERT_TRUE(n);
    ASSERT_EQ(g.vertexCount(), 4u);
    ASSERT_EQ(n->vectorCount(), 4u);
    // Each output vertex carries the normal of the corner it came from.
    for (std::uint32_t v = 0; v < 4; ++v) {
        std::size_t fileCorner = std::size_t(n->data[v * 3 + 2]) - 1;
        std::uint32_t filePoint = 3 - std::uint32_t(fileCorner);
        EXPECT_TRUE(near(point(g, v), {kQuad[filePoint * 3], kQuad[filePoint * 3 + 1], kQuad[filePoint * 3 + 2]}));
    }

    std::vector<float> pointNormals(12, 0.f);
    auto perPoint = readAlembic(writeArchive({polyMesh("m", kQuad, {4}, {0, 1, 2, 3, 0, 1}, pointNormals)}));
    EXPECT_EQ(perPoint.scene->rootNode->childNodes()[0]->geometry->source(scene::Semantic::normal)->data, pointNormals);

    auto oddCount = readAlembic(writeArchive({polyMesh("m", kQuad, {4}, {0, 1, 2, 3}, {0, 0, 1})}));
    EXPECT_FALSE(oddCount.scene->rootNode->childNodes()[0]->geometry->source(scene::Semantic::normal));
}

TEST(AlembicXform, OpsComposeWithTheFirstOpOutermost) {
    auto mesh = polyMesh("tri", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {3}, {0, 1, 2});
    // Translate (10,0,0) then rotate 90 degrees about z then scale 2: a point is scaled first.
    auto read = readAlembic(writeArchive(
        {xform("xf", {translateOp, rotateZOp, scaleOp}, {10, 0, 0, 90, 2, 2, 2}, {mesh})}));
    ASSERT_EQ(read.count, 1u);
    const auto& xf = read.scene->rootNode->childNodes().at(0);
    EXPECT_EQ(xf->name, "xf");
    ASSERT_EQ(xf->childNodes().size(), 1u);
    EXPECT_TRUE(xf->childNodes()[0]->geometry);
    EXPECT_TRUE(near(xf->transform().transformPoint({1, 0, 0}), {10, 2, 0}));
    EXPECT_TRUE(near(xf->transform().transformPoint({0, 0, 1}), {10, 0, 2}));
}

TEST(AlembicXform, MatrixAxisRotationAndMirrorOps) {
    // A matrix stored row by row for row vectors: translation in the last row.
    std::vector<double> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1};
    m.insert(m.end(), {0, 1, 0, 180}); // then 180 degrees about y
    m.insert(m.end(), {-1, 1, 1});     // then mirror x
    auto read = readAlembic(writeArchive({xform("xf", {matrixOp, rotateOp, scaleOp}, m,
                                                {polyMesh("t", kQuad, {4}, {0, 1, 2, 3})})}));
    const auto& xf = read.scene->rootNode->childNodes().at(0);
    // (1,2,3) mirrored -> (-1,2,3), turned about y -> (1,2,-3), moved -> (5,7,3).
    EXPECT_TRUE(near(xf->transform().transformPoint({1, 2, 3}), {5, 7, 3}));

    // Channels missing for the last op: the ops before it still apply.
    auto cut = readAlembic(writeArchive({xform("xf", {translateOp, scaleOp}, {1, 2, 3, 5}, {})}));
    EXPECT_TRUE(near(cut.scene->rootNode->childNodes()[0]->transform().transformPoint({0, 0, 0}), {1, 2, 3}));
}

TEST(AlembicReader, OtherSchemasAreSkippedButTheirChildrenRead) {
    Object camera{"cam", "schema=AbcGeom_Camera_v1", {}, {polyMesh("inside", kQuad, {4}, {0, 1, 2, 3})}};
    Object curves{"c", "schema=AbcGeom_Curve_v2", {floatArray("P", kQuad, 3)}, {}};
    // Points keep their positions in a ".geom" compound as meshes do; they are still not drawn.
    Object points = polyMesh("p", kQuad, {4}, {0, 1, 2, 3});
    points.metadata = "schema=AbcGeom_Points_v1;schemaObjTitle=AbcGeom_Points_v1:.geom";
    auto read = readAlembic(writeArchive({camera, curves, points}));
    EXPECT_EQ(read.count, 1u);
    ASSERT_EQ(read.scene->rootNode->childNodes().size(), 3u);
    EXPECT_TRUE(read.scene->rootNode->childNodes()[0]->childNodes().at(0)->geometry);
    EXPECT_FALSE(read.scene->rootNode->childNodes()[1]->geometry);
    EXPECT_FALSE(read.scene->rootNode->childNodes()[2]->geometry);
}

// Archives without meshes and HDF5 ones: AlembicRealFilesTest, on files other tools wrote.
TEST(AlembicReader, AnArchiveLoadsWithoutAnimationsAndLeavesNoFile) {
    auto ok = ModelLoader::load(writeArchive({polyMesh("m", kQuad, {4}, {0, 1, 2, 3})}), std::filesystem::path("a.abc"));
    EXPECT_FALSE(ok.hasAnimations);
    EXPECT_EQ(ok.scene->rootNode->childNodes().size(), 1u);
    EXPECT_TRUE(trimeo::test::temporaryDirectoryEntries().empty());
}

TEST(AlembicReader, EveryTruncationAndByteFlipReadsWithoutFault) {
    Bytes file = writeArchive({xform("xf", {translateOp}, {1, 2, 3}, {polyMesh("m", kQuad, {4}, {0, 1, 2, 3})})}, {true});
    for (std::size_t n = 0; n < file.size(); ++n) {
        auto read = readAlembic(std::span(file.data(), n));
        EXPECT_EQ(read.count, 0u) << "prefix " << n; // the root entry sits at the very end
    }
    for (std::size_t i = 16; i < file.size(); ++i) {
        Bytes bad = file;
        bad[i] ^= 0xA5;
        EXPECT_LE(readAlembic(bad).count, 1u);
    }
}

TEST(AlembicReader, GroupsThatPointBackAtAnAncestorEnd) {
    // The top object's child entry is aimed at the top object itself: a cycle.
    OgawaNode tree = archiveTree({polyMesh("m", kQuad, {4}, {0, 1, 2, 3}), polyMesh("n", kQuad, {4}, {0, 1, 2, 3})});
    Bytes file = writeOgawa(tree);
    aimTopEntries(file, 1, 2, topObject(file)); // top object: [properties, m, n, headers]
    auto read = readAlembic(file);
    EXPECT_EQ(read.count, 0u);
}

TEST(AlembicReader, ObjectsAimedAtTheSameGroupShareItsGeometryAndTransform) {
    // Seen while fuzzing: a file repeating one mesh group many times grew memory with a copy each time.
    Bytes file = writeOgawa(archiveTree({polyMesh("m", kQuad, {4}, {0, 1, 2, 3}), polyMesh("n", kQuad, {3}, {0, 1, 2})}));
    aimTopEntries(file, 2, 2, topEntry(file, 1));
    auto read = readAlembic(file);
    ASSERT_EQ(read.scene->rootNode->childNodes().size(), 2u);
    EXPECT_EQ(read.count, 2u);
    EXPECT_EQ(read.scene->rootNode->childNodes()[0]->geometry, read.scene->rootNode->childNodes()[1]->geometry);

    // A transform group aimed at twice moves both of its entries.
    Bytes xforms = writeOgawa(archiveTree({xform("a", {translateOp}, {1, 2, 3}, {polyMesh("m", kQuad, {4}, {0, 1, 2, 3})}),
                                           xform("b", {}, {}, {})}));
    aimTopEntries(xforms, 2, 2, topEntry(xforms, 1));
    auto twice = readAlembic(xforms);
    EXPECT_EQ(twice.count, 2u);
    for (const auto& node : twice.scene->rootNode->childNodes()) {
        EXPECT_TRUE(near(node->transform().transformPoint({0, 0, 0}), {1, 2, 3}));
        ASSERT_EQ(node->childNodes().size(), 1u);
        EXPECT_TRUE(node->childNodes()[0]->geometry);
    }
}

TEST(AlembicReader, HeaderParsingIsBoundedWhenOneBigGroupIsAimedAtAgainAndAgain) {
    // Every top-level entry is aimed at one object whose header block holds a 1 MiB name:
    // without a bound each visit would parse (and keep) that megabyte again.
    constexpr std::size_t kEntries = 1000;
    std::vector<Object> top{Object{"big", "", {}, {Object{std::string(1 << 20, 'n'), "", {}, {}}}}};
    for (std::size_t i = 1; i < kEntries; ++i) top.push_back(Object{"s", "", {}, {}});
    Bytes file = writeOgawa(archiveTree(top));
    aimTopEntries(file, 2, kEntries, topEntry(file, 1));

    auto read = readAlembic(file);
    ASSERT_EQ(read.scene->rootNode->childNodes().size(), kEntries);
    std::size_t expanded = 0;
    for (const auto& node : read.scene->rootNode->childNodes()) expanded += node->childNodes().size();
    EXPECT_GT(expanded, 100u);
    EXPECT_LE(expanded, 256u); // 256 MiB of header blocks in all
}
