#include "loading/ModelLoader.h"
#include "formats/obj/OBJReader.h"
#include "support/TestFiles.h"
#include "support/ReadBytes.h"

#include <gtest/gtest.h>

auto readOBJ(std::span<const std::uint8_t> bytes) { return *trimeo::test::readBytes(trimeo::readOBJ, bytes, "obj"); }
using trimeo::test::bytes;
namespace scene = trimeo::scene;

namespace {
const scene::Geometry& geometry(const trimeo::ReaderResult& r, std::size_t node = 0) {
    return *r.scene->rootNode->childNodes().at(node)->geometry;
}
} // namespace

TEST(OBJReader, PolygonsBecomeFansOverSharedPositions) {
    auto r = readOBJ(bytes("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n"));
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(geometry(r).vertexCount(), 4u);
    EXPECT_EQ(geometry(r).elements[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(geometry(r).source(scene::Semantic::normal), nullptr);
}

TEST(OBJReader, CornerFormsNegativeIndicesNormalsAndUVs) {
    auto r = readOBJ(bytes("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.5 0.25\nvn 0 0 1\n"
                           "f 1/1/1 2//1 -1/-1/-1\n"));
    ASSERT_EQ(r.count, 1u);
    const auto& g = geometry(r);
    EXPECT_EQ(g.vertexCount(), 3u);
    ASSERT_NE(g.source(scene::Semantic::normal), nullptr);
    EXPECT_EQ(g.source(scene::Semantic::normal)->data, (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(g.source(scene::Semantic::texcoord)->data, (std::vector<float>{0.5f, 0.25f, 0, 0, 0.5f, 0.25f}));
    EXPECT_EQ(g.source(scene::Semantic::vertex)->data[6], 0); // -1 is the last vertex so far
    EXPECT_EQ(g.source(scene::Semantic::vertex)->data[7], 1);
}

// Corners are kept as positions alone until one names a texture coordinate or normal: the
// faces before it, and the face it is part of, read the same as if all had been triples.
TEST(OBJReader, FirstCornerWithAttributesLaterInTheFileKeepsEveryFaceBeforeIt) {
    auto r = readOBJ(bytes("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0.5 0.25\nvn 0 0 1\n"
                           "f 1 2 3\nf 1 3/1/1 4\n"));
    const auto& g = geometry(r);
    EXPECT_EQ(g.elements[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(g.source(scene::Semantic::vertex)->data,
              (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(g.source(scene::Semantic::texcoord)->data,
              (std::vector<float>{0, 0, 0, 0, 0, 0, 0, 0, 0.5f, 0.25f, 0, 0}));
    EXPECT_EQ(g.source(scene::Semantic::normal), nullptr); // not every corner has one

    // The face that brought the first attribute is then dropped for a missing vertex.
    auto dropped = readOBJ(bytes("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0.5 0.25\nvn 0 0 1\n"
                                 "f 1 2 3\nf 1 2 3 4/1/1 9\nf 2 3 4\n"));
    EXPECT_EQ(geometry(dropped).vertexCount(), 4u);
    EXPECT_EQ(geometry(dropped).elements[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 1, 2, 3}));
}

TEST(OBJReader, FacesNamingMissingVerticesAreDroppedWhole) {
    auto r = readOBJ(bytes("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\nf 0 1 2\nf 1 2 -4\nf 1 2 x\nf 1 2 3\nf 1 2\n"));
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(geometry(r).validTriangleCount(), 1u);
    EXPECT_EQ(geometry(r).elements[0].indices.size(), 3u);
}

TEST(OBJReader, ObjectsAndGroupsWithFacesBecomeNamedNodes) {
    auto r = readOBJ(bytes("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\n"
                           "o empty\ng first  \nf 1 2 3\ng second\nf 2 3 4\r\nf 1 3 4\n"));
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(r.scene->rootNode->childNodes()[0]->name, "first");
    EXPECT_EQ(r.scene->rootNode->childNodes()[1]->name, "second");
    // Each node holds only the positions it uses.
    EXPECT_EQ(geometry(r, 0).vertexCount(), 3u);
    EXPECT_EQ(geometry(r, 1).vertexCount(), 4u);
}

TEST(OBJReader, LinesPointsAndJunkHaveNoGeometry) {
    for (const char* text : {"v 0 0 0\nv 1 0 0\nl 1 2\np 1\n", "\x01\x02\xff garbage\n", ""}) {
        auto data = bytes(text);
        EXPECT_EQ(readOBJ(data).count, 0u);
        EXPECT_THROW(trimeo::ModelLoader::load(data, std::filesystem::path("x.obj")), trimeo::LoaderError);
    }
}

TEST(OBJReader, RealFilesMatchTheirKnownContent) {
    auto load = [](const char* name) { return readOBJ(trimeo::test::readFile(trimeo::test::assimpModels() / "OBJ" / name)); };
    auto spider = load("spider.obj");
    std::size_t triangles = 0;
    for (auto& n : spider.scene->rootNode->childNodes()) triangles += n->geometry->validTriangleCount();
    EXPECT_EQ(triangles, 1368u);
    EXPECT_EQ(spider.count, 19u);
    EXPECT_EQ(load("box.obj").scene->rootNode->childNodes()[0]->geometry->validTriangleCount(), 12u);
    EXPECT_EQ(load("box_without_lineending.obj").count, 1u);
}
