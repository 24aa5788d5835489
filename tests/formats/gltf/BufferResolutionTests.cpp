#include "GLTFTestAssets.h"
#include "formats/gltf/Base64.h"

#include <gtest/gtest.h>

namespace trimeo::test {
namespace {

const std::vector<float> unitTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

AssetBuilder triangleAsset() {
    AssetBuilder a;
    a.triangleMesh(unitTriangle, std::nullopt, "Tri");
    return a;
}

std::vector<std::uint8_t> withURI(json document, const std::string& uri) {
    document["buffers"] = json::array({{{"uri", uri}}});
    return jsonBytes(document);
}

std::size_t nodeCount(const std::vector<std::uint8_t>& file) { return modelNodes(load(file, "m.gltf")).size(); }

TEST(GLTFText, TopLevelMustBeAJSONObject) {
    for (std::string text : {"[{\"meshes\":[]}]", "", "   ", "{", "{\"meshes\":[]} x", "42", "{'meshes':[]}"})
        EXPECT_EQ(loadError(bytes(text), "m.gltf"), "Parse error: Failed to parse glTF JSON") << text;
    EXPECT_EQ(loadError(bytes("\xEF\xBB\xBF{\"meshes\":[]}"), "m.gltf"), "loaded"); // UTF-8 byte order mark
}

TEST(GLTFText, OnlyAnEmbeddedBase64DataURIGivesABuffer) {
    const AssetBuilder a = triangleAsset();
    const std::string data = base64(a.buffer);
    EXPECT_EQ(nodeCount(withURI(a.document, "data:application/octet-stream;base64," + data)), 1u);

    // The media type is not checked.
    EXPECT_EQ(nodeCount(withURI(a.document, "data:application/gltf-buffer;base64," + data)), 1u);
    EXPECT_EQ(nodeCount(withURI(a.document, "data:text/plain;base64," + data)), 1u);
    EXPECT_EQ(nodeCount(withURI(a.document, "data:;base64," + data)), 1u);

    // Any other data URI loads without a buffer, and without an error. (Names of files are
    // read through the resolver: ExternalBufferTests.)
    for (const std::string& uri : std::vector<std::string>{"Data:;base64," + data,
                                   "data:;BASE64," + data, "data:application/octet-stream," + data,
                                   "data:,%00%00%80%3F", "data:;base64," + data.substr(1),
                                   "data:;base64,\n" + data})
        EXPECT_EQ(nodeCount(withURI(a.document, uri)), 0u) << uri;
    // Text that is no URI of any scheme names a file beside the model.
    EXPECT_EQ(loadError(withURI(a.document, " data:;base64,AAAA"), "m.gltf"),
              "Parse error: glTF buffer ' data:;base64,AAAA' could not be read: not found");

    json numericURI = a.document;
    numericURI["buffers"] = json::array({{{"uri", 5}}});
    EXPECT_EQ(nodeCount(jsonBytes(numericURI)), 0u);
    json notObjects = a.document;
    notObjects["buffers"] = json::array({{{"uri", "data:;base64," + data}}, 3});
    EXPECT_EQ(nodeCount(jsonBytes(notObjects)), 0u);
}

TEST(GLTFText, EveryViewReadsItsOwnBuffer) {
    AssetBuilder a = triangleAsset();
    a.document["bufferViews"][0]["buffer"] = 1;
    json d = a.document;
    d["buffers"] = json::array({{{"uri", "data:;base64,AAAA"}}, {{"uri", "data:;base64," + base64(a.buffer)}}});
    const auto second = load(jsonBytes(d), "m.gltf");
    ASSERT_EQ(modelNodes(second).size(), 1u);
    EXPECT_EQ(positionsOf(*modelNodes(second)[0]), unitTriangle);

    // Buffer 0 is never needed, so its missing file is never looked for.
    d["buffers"] = json::array({{{"uri", "other.bin"}}, {{"uri", "data:;base64," + base64(a.buffer)}}});
    EXPECT_EQ(nodeCount(jsonBytes(d)), 1u);

    // A view without "buffer" reads buffer 0; one naming a buffer that is not there reads nothing.
    a.document["bufferViews"][0].erase("buffer");
    EXPECT_EQ(nodeCount(a.gltf()), 1u);
    a.document["bufferViews"][0]["buffer"] = 7;
    EXPECT_EQ(nodeCount(a.gltf()), 0u);
}

TEST(GLTFText, TheFirstBase64MarkerStartsTheData) {
    // "data:x;base64,;base64,AAAA..." : the data is ";base64,AAAA...", which is not base64.
    const AssetBuilder a = triangleAsset();
    EXPECT_EQ(nodeCount(withURI(a.document, "data:x;base64,;base64," + base64(a.buffer))), 0u);
}

TEST(GLTFText, LongEmbeddedBuffersAndNamesReadExactly) {
    // Large enough that the buffer text and the name bypass the JSON lexer.
    std::vector<float> xyz;
    for (int i = 0; i < 3000; ++i) xyz.insert(xyz.end(), {float(i), float(-i), 0.5f * float(i)});
    AssetBuilder a;
    const std::string longName(5000, 'n');
    a.triangleMesh(xyz, std::nullopt, longName);
    a.document["extras"] = {{"note", std::string(6000, 'x') + "\\\""}, {"unicode", std::string(5000, 'u') + "\xC3\xA9"}};

    const auto fromText = load(a.gltf(), "m.gltf");
    ASSERT_EQ(modelNodes(fromText).size(), 1u);
    EXPECT_EQ(positionsOf(*modelNodes(fromText)[0]), xyz);
    EXPECT_EQ(nodeNames(fromText), std::vector<std::string>{longName});

    // A document that spells a NUL escape anywhere takes the plain path and reads the same.
    a.document["extras"]["nul"] = std::string("a\0b", 3);
    const auto withNul = load(a.gltf(), "m.gltf");
    EXPECT_EQ(positionsOf(*modelNodes(withNul)[0]), xyz);
    EXPECT_EQ(nodeNames(withNul), std::vector<std::string>{longName});
}

TEST(GLTFText, LongStringsStillFollowJSONRules) {
    const std::string longText(5000, 'a');
    for (const std::string& bad : std::vector<std::string>{"{\"meshes\":[],\"x\":\"" + longText + "\x01\"}",      // control character
                                   "{\"meshes\":[],\"x\":\"" + longText + "\xC3\"}",      // broken UTF-8
                                   "{\"meshes\":[],\"x\":\"" + longText + "\\q\"}",       // bad escape
                                   "{\"meshes\":[],\"x\":\"" + longText + "\" \"y\":1}",  // missing comma
                                   "{\"meshes\":[],\"x\":\"" + longText})                 // unterminated
        EXPECT_EQ(loadError(bytes(bad), "m.gltf"), "Parse error: Failed to parse glTF JSON") << bad.substr(5005);
    EXPECT_EQ(loadError(bytes("{\"meshes\":[],\"" + longText + "\":\"" + longText + "\"}"), "m.gltf"), "loaded");
}

TEST(Base64, DecodesTheStandardAlphabetWithPadding) {
    EXPECT_EQ(gltf::decodeBase64("AAAA"), (std::vector<std::uint8_t>{0, 0, 0}));
    EXPECT_EQ(gltf::decodeBase64(""), std::vector<std::uint8_t>{});
    EXPECT_EQ(gltf::decodeBase64("QQ=="), (std::vector<std::uint8_t>{'A'}));
    EXPECT_EQ(gltf::decodeBase64("QUI="), (std::vector<std::uint8_t>{'A', 'B'}));
    EXPECT_EQ(gltf::decodeBase64("+/+/"), (std::vector<std::uint8_t>{0xFB, 0xFF, 0xBF}));

    std::vector<std::uint8_t> every(256 * 3 + 2);
    for (std::size_t i = 0; i < every.size(); ++i) every[i] = std::uint8_t(i * 7);
    EXPECT_EQ(gltf::decodeBase64(base64(every)), every);
}

TEST(Base64, AnyRangeDecodesLikeTheSameSliceOfTheWhole) {
    std::vector<std::uint8_t> bytes(40);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 37 + 11);
    for (std::size_t n : {38u, 39u, 40u}) { // padded with "==", "=" and not at all
        const std::vector<std::uint8_t> whole(bytes.begin(), bytes.begin() + n);
        const std::string text = base64(whole);
        ASSERT_EQ(gltf::base64DecodedSize(text), n);
        for (std::size_t offset = 0; offset <= n; ++offset)
            for (std::size_t length = 0; offset + length <= n; ++length) {
                std::vector<std::uint8_t> out(length + 1, 0xAA);
                gltf::decodeBase64Range(text, offset, length, out.data());
                ASSERT_TRUE(std::equal(out.begin(), out.begin() + length, whole.begin() + offset)) << offset << "+" << length;
                ASSERT_EQ(out[length], 0xAA) << "wrote past the range at " << offset << "+" << length;
            }
    }
}

TEST(GLTFText, EmbeddedBuffersReadLikeBINChunksAtAnyOffset) {
    // Offsets that do not fall on base64 quad boundaries, for positions and both index widths;
    // whatever the values read, both forms must read the same.
    for (int shift : {0, 1, 2, 3, 4, 5}) {
        AssetBuilder a;
        std::vector<float> xyz = {1.5f, -2.25f, 3, 4, 5, 6, 7, 8, 9, -1, -2, -3};
        const int p = a.positions(xyz);
        const int i32 = a.indices32({3, 2, 1, 0, 1, 2});
        const int i16 = a.indices16({0, 1, 2, 2, 3, 0, 1});
        for (int acc : {p, i32, i16}) a.document["accessors"][acc]["byteOffset"] = shift;
        a.document["accessors"][p]["count"] = 3;
        a.mesh(json::array({AssetBuilder::primitive(p, i32), AssetBuilder::primitive(p, i16)}));

        const auto binary = load(a.glb(), "m.glb"), text = load(a.gltf(), "m.gltf");
        ASSERT_EQ(modelNodes(binary).size(), 2u);
        ASSERT_EQ(modelNodes(text).size(), 2u);
        for (std::size_t n = 0; n < 2; ++n) {
            EXPECT_EQ(positionsOf(*modelNodes(text)[n]), positionsOf(*modelNodes(binary)[n])) << shift;
            EXPECT_EQ(indicesOf(*modelNodes(text)[n]), indicesOf(*modelNodes(binary)[n])) << shift;
            EXPECT_FALSE(indicesOf(*modelNodes(text)[n]).empty());
        }
    }
}

TEST(Base64, RejectsTheWholeTextForAnyStrayCharacter) {
    for (const std::string& bad : std::vector<std::string>{"QQ", "QUI", "Q===", "====", "QQ=A", "QQ==QUFB", "AA\nAA==", "AAAA\n", "AA AA===",
                            "AAA\r", "-_AA", "AA.A", std::string("AA\0A", 4), "\xC3\xA9" "AA", "AAAAA"})
    {
        EXPECT_FALSE(gltf::decodeBase64(bad).has_value()) << bad;
        EXPECT_FALSE(gltf::base64DecodedSize(bad).has_value()) << bad;
    }
}

} // namespace
} // namespace trimeo::test
