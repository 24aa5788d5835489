#include "GLTFTestAssets.h"

#include <gtest/gtest.h>

namespace trimeo::test {
namespace {

const std::vector<float> unitTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

AssetBuilder triangleAsset(const std::string& name = "Tri", const std::vector<float>& xyz = unitTriangle) {
    AssetBuilder a;
    a.triangleMesh(xyz, std::nullopt, name);
    return a;
}

TEST(GLBContainer, HeaderChecksHaveTheirMessages) {
    const std::vector<std::uint8_t> magic = {'g', 'l', 'T', 'F'};
    auto eleven = magic;
    eleven.resize(11, 0);
    EXPECT_EQ(loadError(eleven, "a.glb"), "Parse error: GLB file too small");
    EXPECT_EQ(loadError({}, "a.glb"), "Parse error: GLB file too small");

    auto twelve = magic;
    twelve.resize(12, 0);
    EXPECT_EQ(loadError(twelve, "a.glb"), "Parse error: Failed to parse GLB JSON");

    for (const std::string& other : std::vector<std::string>{"GLTF", "gltf", "glTf", std::string("glT\0", 4), "FTlg"}) {
        auto file = triangleAsset().glb();
        std::copy(other.begin(), other.end(), file.begin());
        EXPECT_EQ(loadError(file, "a.glb"), "Parse error: Invalid GLB magic number") << other;
    }
}

TEST(GLBContainer, FormsAreChosenByExtensionNotContent) {
    const AssetBuilder a = triangleAsset();
    EXPECT_EQ(loadError(a.gltf(), "model.glb"), "Parse error: Invalid GLB magic number");
    EXPECT_EQ(loadError(a.glb(), "model.gltf"), "Parse error: Failed to parse glTF JSON");
    EXPECT_EQ(nodeNames(load(a.glb(), "Scene.GLB")), std::vector<std::string>{"Tri"});
}

TEST(GLBContainer, VersionAndTotalLengthAreNotRead) {
    const AssetBuilder a = triangleAsset();
    const std::vector<Chunk> chunks = {{chunkJSON, jsonBytes(a.document)}, {chunkBIN, a.buffer}};
    EXPECT_EQ(modelNodes(load(glbContainer(chunks, 1), "a.glb")).size(), 1u);
    EXPECT_EQ(modelNodes(load(glbContainer(chunks, 2, 7), "a.glb")).size(), 1u);
    EXPECT_EQ(modelNodes(load(glbContainer(chunks, 2, 0xFFFFFFFF), "a.glb")).size(), 1u);
}

TEST(GLBContainer, ChunksOfEveryOrderAndTheLastOfEachTypeWins) {
    const AssetBuilder first = triangleAsset("First", {0, 0, 0, 1, 0, 0, 0, 1, 0});
    const AssetBuilder second = triangleAsset("Second", {0, 0, 0, 5, 0, 0, 0, 5, 0});
    const auto json1 = jsonBytes(first.document), json2 = jsonBytes(second.document);

    // JSON, an unknown chunk, BIN.
    auto r = load(glbContainer({{chunkJSON, json1}, {0x12345678, {1, 2, 3, 4}}, {chunkBIN, first.buffer}}), "a.glb");
    EXPECT_EQ(nodeNames(r), std::vector<std::string>{"First"});
    EXPECT_EQ(positionsOf(*modelNodes(r)[0]), unitTriangle);

    // BIN first, then two JSON chunks: the later document is used.
    r = load(glbContainer({{chunkBIN, first.buffer}, {chunkJSON, json1}, {chunkJSON, json2}}), "a.glb");
    EXPECT_EQ(nodeNames(r), std::vector<std::string>{"Second"});

    // Two BIN chunks: the later buffer is used.
    r = load(glbContainer({{chunkJSON, json1}, {chunkBIN, first.buffer}, {chunkBIN, second.buffer}}), "a.glb");
    EXPECT_EQ(positionsOf(*modelNodes(r)[0])[3], 5.0f);
}

TEST(GLBContainer, MissingBINChunkLoadsWithoutGeometry) {
    const AssetBuilder a = triangleAsset();
    auto r = load(glbContainer({{chunkJSON, jsonBytes(a.document)}}), "a.glb");
    EXPECT_TRUE(modelNodes(r).empty());
    EXPECT_FALSE(r.hasAnimations);
}

TEST(GLBContainer, BINChunkBeatsAnyURI) {
    // The document points at a valid data URI with other coordinates; only the BIN chunk counts.
    AssetBuilder a = triangleAsset();
    AssetBuilder big = triangleAsset("Tri", {0, 0, 0, 9, 0, 0, 0, 9, 0});
    json withURI = a.document;
    withURI["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64(big.buffer);

    auto r = load(glbContainer({{chunkJSON, jsonBytes(withURI)}, {chunkBIN, a.buffer}}), "a.glb");
    EXPECT_EQ(positionsOf(*modelNodes(r)[0]), unitTriangle);
    EXPECT_TRUE(modelNodes(load(glbContainer({{chunkJSON, jsonBytes(withURI)}}), "a.glb")).empty());
}

TEST(GLBContainer, TruncatedChunksAreDroppedWithoutReadingPastTheEnd) {
    const AssetBuilder a = triangleAsset();
    const auto document = jsonBytes(a.document);

    // A JSON chunk whose stated length passes the end is not used.
    auto file = glbContainer({{chunkJSON, document}});
    file.resize(file.size() - 1);
    EXPECT_EQ(loadError(file, "a.glb"), "Parse error: Failed to parse GLB JSON");

    // A second, truncated BIN chunk is dropped: the first still serves.
    file = glbContainer({{chunkJSON, document}, {chunkBIN, a.buffer}, {chunkBIN, std::vector<std::uint8_t>(64, 0xFF)}});
    file.resize(file.size() - 10);
    EXPECT_EQ(positionsOf(*modelNodes(load(file, "a.glb"))[0]), unitTriangle);

    // A header cut short, and a length near 2^32, end the walk quietly.
    file = glbContainer({{chunkJSON, document}, {chunkBIN, a.buffer}});
    for (int b : {0xFF, 0xFF, 0xFF, 0xFF, int('B'), int('I')}) file.push_back(std::uint8_t(b));
    EXPECT_EQ(modelNodes(load(file, "a.glb")).size(), 1u);
    file.push_back('N');
    file.push_back(0);
    EXPECT_EQ(modelNodes(load(file, "a.glb")).size(), 1u);
}

TEST(GLBContainer, JSONChunkMustHoldAnObject) {
    for (std::string text : {"[1,2]", "{\"meshes\":", "", "\"text\"", "{} {}"}) {
        auto file = glbContainer({{chunkJSON, std::vector<std::uint8_t>(text.begin(), text.end())}});
        EXPECT_EQ(loadError(file, "a.glb"), "Parse error: Failed to parse GLB JSON") << text;
    }
    // Space padding, as writers align the chunk, is fine.
    std::string padded = "{\"meshes\":[]}   ";
    EXPECT_EQ(loadError(glbContainer({{chunkJSON, {padded.begin(), padded.end()}}}), "a.glb"), "loaded");
}

} // namespace
} // namespace trimeo::test
