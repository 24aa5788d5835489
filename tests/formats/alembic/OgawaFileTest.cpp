#include "AlembicWriter.h"
#include "formats/alembic/AbcHeaders.h"
#include "formats/alembic/OgawaFile.h"

#include <gtest/gtest.h>

using namespace trimeo::alembic;
using namespace trimeo::test::abc;

TEST(OgawaFile, GroupsAndDataBlocksReadBackAsWritten) {
    Bytes file = writeOgawa(OgawaNode::group({OgawaNode::data({1, 2, 3}), OgawaNode::group({}),
                                              OgawaNode::group({OgawaNode::data({9})}), OgawaNode::data({})}));
    OgawaFile ogawa(file);
    auto root = ogawa.root();
    ASSERT_TRUE(root);
    ASSERT_EQ(root->count, 4u);
    EXPECT_TRUE(ogawa.isData(*root, 0));
    EXPECT_FALSE(ogawa.isData(*root, 1));
    EXPECT_EQ(std::vector<std::uint8_t>(ogawa.data(*root, 0)->begin(), ogawa.data(*root, 0)->end()), Bytes({1, 2, 3}));
    EXPECT_EQ(ogawa.group(*root, 1)->count, 0u);
    auto inner = ogawa.group(*root, 2);
    ASSERT_TRUE(inner);
    EXPECT_EQ((*ogawa.data(*inner, 0))[0], 9);
    EXPECT_TRUE(ogawa.data(*root, 3)->empty());
    // Asking for the other kind, or past the end, yields nothing.
    EXPECT_FALSE(ogawa.group(*root, 0));
    EXPECT_FALSE(ogawa.data(*root, 2));
    EXPECT_FALSE(ogawa.data(*root, 4));
}

TEST(OgawaFile, OffsetsAndSizesBeyondTheFileAreRefused) {
    Bytes file = writeOgawa(OgawaNode::group({OgawaNode::data({1, 2, 3, 4}), OgawaNode::group({OgawaNode::data({5})})}));
    const std::size_t rootAt = u64At(file, 8);
    const std::uint64_t dataAt = u64At(file, rootAt + 8) & ~0x8000000000000000ull;
    const std::uint64_t groupAt = u64At(file, rootAt + 16);

    Bytes bigData = file;
    putU64(bigData, dataAt, 1000);
    EXPECT_FALSE(OgawaFile(bigData).data(*OgawaFile(bigData).root(), 0));

    Bytes wrapData = file;
    putU64(wrapData, dataAt, ~0ull - 4); // size + offset would wrap around
    EXPECT_FALSE(OgawaFile(wrapData).data(*OgawaFile(wrapData).root(), 0));

    Bytes farChild = file;
    putU64(farChild, rootAt + 16, file.size() + 64);
    EXPECT_FALSE(OgawaFile(farChild).group(*OgawaFile(farChild).root(), 1));

    Bytes manyChildren = file;
    putU64(manyChildren, groupAt, 1ull << 60);
    EXPECT_FALSE(OgawaFile(manyChildren).group(*OgawaFile(manyChildren).root(), 1));

    Bytes intoHeader = file;
    putU64(intoHeader, rootAt + 16, 4);
    EXPECT_FALSE(OgawaFile(intoHeader).group(*OgawaFile(intoHeader).root(), 1));
}

TEST(OgawaFile, MissingMagicOrUnfinishedFileHasNoRoot) {
    Bytes file = writeOgawa(OgawaNode::group({OgawaNode::data({1})}));
    EXPECT_TRUE(OgawaFile(file).root());
    Bytes unfinished = file;
    putU64(unfinished, 8, 0);
    EXPECT_FALSE(OgawaFile(unfinished).root());
    Bytes wrongMagic = file;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(OgawaFile(wrongMagic).root());
    EXPECT_FALSE(OgawaFile(Bytes(file.begin(), file.begin() + 12)).root());
}

TEST(AbcHeaders, MetadataValuesAreFoundByWholeKey) {
    const std::string md = "schemaObjTitle=AbcGeom_PolyMesh_v1:.geom;schema=AbcGeom_PolyMesh_v1;empty=";
    EXPECT_EQ(metadataValue(md, "schema"), "AbcGeom_PolyMesh_v1");
    EXPECT_EQ(metadataValue(md, "schemaObjTitle"), "AbcGeom_PolyMesh_v1:.geom");
    EXPECT_EQ(metadataValue(md, "empty"), "");
    EXPECT_EQ(metadataValue(md, "schem"), "");
    EXPECT_EQ(metadataValue("", "schema"), "");
}

TEST(AbcHeaders, PropertyHeadersWithOneByteSizesAndFirstLastIndices) {
    // Scalar, one-byte sizes, first/last changed and time sampling present, inline metadata.
    const std::uint32_t info = 1 | (0u << 2) | (10u << 4) | 0x100 | 0x200 | (3u << 12) | (0xffu << 20);
    Bytes b;
    b.resize(4);
    std::memcpy(b.data(), &info, 4);
    for (int v : {5, 1, 4, 2, 1}) b.push_back(std::uint8_t(v)); // samples, first, last, sampling, name size
    b.push_back('P');
    b.push_back(3);
    for (char c : std::string("a=b")) b.push_back(std::uint8_t(c));
    // A compound that refers to entry 1 of the shared table.
    const std::uint32_t compound = (2u << 2) | (1u << 20);
    Bytes c(4);
    std::memcpy(c.data(), &compound, 4);
    for (int v : {2, 0, 0, 0, int('g'), int('x')}) c.push_back(std::uint8_t(v));
    b.insert(b.end(), c.begin(), c.end());

    auto headers = parsePropertyHeaders(b, {"", "schema=X"});
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[0].name, "P");
    EXPECT_EQ(headers[0].kind, PropertyKind::scalar);
    EXPECT_EQ(headers[0].pod, 10);
    EXPECT_EQ(headers[0].extent, 3);
    EXPECT_EQ(headers[0].sampleCount, 5u);
    EXPECT_EQ(headers[0].timeSampling, 2u);
    EXPECT_EQ(headers[0].metadata, "a=b");
    EXPECT_EQ(headers[1].name, "gx");
    EXPECT_EQ(headers[1].kind, PropertyKind::compound);
    EXPECT_EQ(headers[1].metadata, "schema=X");

    // Cut inside the second header: the first still reads, the broken one is dropped.
    Bytes cut(b.begin(), b.end() - 1);
    EXPECT_EQ(parsePropertyHeaders(cut, {"", "schema=X"}).size(), 1u);
    // A name size far past the block allocates nothing and ends the list.
    Bytes huge = b;
    huge[8] = 0xff;
    EXPECT_TRUE(parsePropertyHeaders(huge, {}).empty());
}

TEST(AbcHeaders, ObjectHeadersStopBeforeTheTrailingDigests) {
    Bytes b;
    auto put32 = [&](std::uint32_t v) { b.insert(b.end(), reinterpret_cast<std::uint8_t*>(&v), reinterpret_cast<std::uint8_t*>(&v) + 4); };
    put32(4);
    for (char c : std::string("mesh")) b.push_back(std::uint8_t(c));
    b.push_back(1); // shared table entry 1
    put32(1);
    b.push_back('x');
    b.push_back(0xff);
    put32(2);
    b.push_back('k');
    b.push_back('=');
    b.resize(b.size() + 32, 0xAB);
    auto headers = parseObjectHeaders(b, {"", "schema=M"});
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[0].name, "mesh");
    EXPECT_EQ(headers[0].metadata, "schema=M");
    EXPECT_EQ(headers[1].name, "x");
    EXPECT_EQ(headers[1].metadata, "k=");
    EXPECT_TRUE(parseObjectHeaders(Bytes(31, 0), {}).empty());
}

TEST(AbcHeaders, TimeSamplingsAndSharedMetadataTable) {
    Bytes b;
    auto put = [&](auto v) { b.insert(b.end(), reinterpret_cast<std::uint8_t*>(&v), reinterpret_cast<std::uint8_t*>(&v) + sizeof(v)); };
    put(std::uint32_t(3));
    put(1.0 / 24);
    put(std::uint32_t(2));
    put(0.5);
    put(0.75);
    put(std::uint32_t(1));
    put(1.0);
    put(std::uint32_t(0x7fffffff)); // more times than the block holds
    auto samplings = parseTimeSamplings(b);
    ASSERT_EQ(samplings.size(), 1u);
    EXPECT_EQ(samplings[0].maxSample, 3u);
    EXPECT_EQ(samplings[0].times, std::vector<double>({0.5, 0.75}));

    auto table = parseIndexedMetadata(Bytes{2, 'a', '=', 0, 5, 'x'});
    EXPECT_EQ(table, std::vector<std::string>({"", "a=", ""}));
}
