#include "loading/ModelLoader.h"
#include "formats/assimp/AssetImport.h"
#include "formats/stl/STLReader.h"
#include "formats/common/TemporaryFiles.h"
#include "support/TestFiles.h"
#include "support/ReadBytes.h"

#include <gtest/gtest.h>

#include <cstring>

auto readSTL(std::span<const std::uint8_t> bytes) { return trimeo::test::readBytes(trimeo::readSTL, bytes, "stl"); }
using trimeo::test::bytes;

namespace {
std::vector<std::uint8_t> binary(const std::string& header, const std::vector<float>& corners) {
    const std::uint32_t facets = std::uint32_t(corners.size() / 9);
    std::vector<std::uint8_t> out(84 + std::size_t(facets) * 50, 0);
    std::memcpy(out.data(), header.data(), std::min<std::size_t>(header.size(), 80));
    std::memcpy(out.data() + 80, &facets, 4);
    for (std::uint32_t f = 0; f < facets; ++f) std::memcpy(out.data() + 84 + f * 50 + 12, &corners[f * 9], 36);
    return out;
}

std::vector<float> positionsOf(const trimeo::ReaderResult& read, std::size_t node = 0) {
    return read.scene->rootNode->childNodes().at(node)->geometry->sources.at(0).data;
}
} // namespace

TEST(STLReader, BinaryIsToldApartByItsExactSizeEvenWhenItSaysSolid) {
    std::vector<float> corners{0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5, 6, 5, 5, 5, 6, 5};
    auto read = readSTL(binary("solid looks like text", corners));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->count, 1u);
    EXPECT_EQ(positionsOf(*read), corners);
    // One vertex per corner, in order: no index list is held for them.
    const auto& element = read->scene->rootNode->childNodes().at(0)->geometry->elements.at(0);
    EXPECT_TRUE(element.isSequential());
    EXPECT_EQ(element.cornerCount(), 6u);
    // One byte short is no longer a binary STL, and not text either.
    auto cut = binary("solid x", corners);
    cut.pop_back();
    EXPECT_FALSE(readSTL(cut));
}

// Bytes that are neither text nor a binary body holding its facets are refused by the
// reader itself: no copy of the file goes to the asset library.
TEST(STLReader, BinaryShorterThanItsFacetCountIsRefusedAtOnce) {
    auto data = binary("bin", {0, 0, 0, 1, 0, 0, 0, 1, 0});
    std::uint32_t huge = 0x7FFFFFFF;
    std::memcpy(data.data() + 80, &huge, 4);
    try {
        readSTL(data);
        ADD_FAILURE() << "read";
    } catch (const trimeo::LoaderError& e) {
        EXPECT_EQ(e.kind(), trimeo::LoaderError::Kind::noGeometry);
    }
    EXPECT_THROW(trimeo::ModelLoader::load(data, std::filesystem::path("huge.stl")), trimeo::LoaderError);
    const std::vector<std::uint8_t> zeros(1 << 20, 0);
    EXPECT_THROW(trimeo::ModelLoader::load(zeros, std::filesystem::path("zeros.stl")), trimeo::LoaderError);
}

TEST(STLReader, BinaryWithBytesAfterItsFacetsReadsTheDeclaredFacets) {
    std::vector<float> corners{0, 0, 0, 1, 0, 0, 0, 1, 0};
    auto data = binary("bin", corners);
    data.resize(data.size() + 7, 0xAB);
    auto read = readSTL(data);
    ASSERT_TRUE(read);
    EXPECT_EQ(positionsOf(*read), corners);
}

TEST(STLReader, ASCIISolidsBecomeNamedNodesAndBadFacetsAreDropped) {
    auto read = readSTL(bytes("  solid first part\n"
                              "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n"
                              " endloop\nendfacet\n"
                              "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n"
                              " endloop\nendfacet\n" // two vertices: dropped
                              "endsolid first part\n"
                              "solid second\nfacet normal 0 0 0\nouter loop\nvertex +1e1 -2.5 .5\nvertex 1 2 3\n"
                              "vertex 4 5 6\nendloop\nendfacet\nendsolid\n"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->count, 2u);
    EXPECT_EQ(read->scene->rootNode->childNodes()[0]->name, "first part");
    EXPECT_EQ(positionsOf(*read, 0).size(), 9u);
    EXPECT_EQ(positionsOf(*read, 1), (std::vector<float>{10, -2.5f, 0.5f, 1, 2, 3, 4, 5, 6}));
}

// Text longer than the steps in which it is checked and parsed: every facet is read, and a
// NUL byte anywhere, even near the end, makes it no text at all.
TEST(STLReader, LongTextIsReadWholeUnlessANulByteFollowsAnywhere) {
    const std::string facet = "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n"
                              " endloop\nendfacet\n";
    std::string text = "solid long\n";
    const std::size_t facets = (std::size_t(17) << 20) / facet.size();
    for (std::size_t f = 0; f < facets; ++f) text += facet;
    text += "endsolid long\n";
    const auto data = [](const std::string& s) { return std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); };
    auto read = readSTL(data(text));
    ASSERT_TRUE(read);
    EXPECT_EQ(positionsOf(*read).size(), facets * 9);
    text[text.size() - 20] = '\0';
    EXPECT_FALSE(readSTL(data(text)));
}

TEST(STLReader, TextWithoutFacetsHasNoGeometry) {
    auto data = bytes("solid empty\nendsolid empty\n");
    auto read = readSTL(data);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->count, 0u);
    EXPECT_THROW(trimeo::ModelLoader::load(data, std::filesystem::path("e.stl")), trimeo::LoaderError);
    EXPECT_FALSE(readSTL(bytes("solid x\nvertex 1 2 oops\n")));
}

TEST(STLReader, AgreesWithTheAssetLibraryOnRealFiles) {
    for (const char* name : {"Spider_ascii.stl", "Spider_binary.stl", "sphereWithHole.stl", "3DSMaxExport.STL"}) {
        auto data = trimeo::test::readFile(trimeo::test::assimpModels() / "STL" / name);
        auto read = readSTL(data);
        ASSERT_TRUE(read) << name;
        std::size_t ours = 0;
        for (auto& n : read->scene->rootNode->childNodes()) ours += n->geometry->validTriangleCount();
        auto tmp = trimeo::TemporaryFile("stl");
        tmp.write(data);
        auto theirs = trimeo::readAssetFile(tmp.path(), false);
        std::size_t expected = 0;
        theirs.scene->rootNode->enumerateChildNodes([&](const trimeo::scene::Node::Ptr& n) {
            if (n->geometry) expected += n->geometry->validTriangleCount();
        });
        EXPECT_EQ(ours, expected) << name;
    }
}
