// Buffers stored in files beside the model, read through the related-file resolver.
#include "GLTFTestAssets.h"
#include "formats/common/RelatedFiles.h"
#include "formats/common/TemporaryFiles.h"
#include "formats/gltf/GLTFParser.h"

#include <gtest/gtest.h>

namespace trimeo::test {
namespace {

namespace fs = std::filesystem;

const std::vector<float> unitTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};
const std::vector<float> otherTriangle = {0, 0, 5, 2, 0, 5, 0, 2, 5};

// A model folder holding the files the test writes.
struct ModelFolder {
    TemporaryDirectory directory;

    fs::path write(const std::string& name, const std::vector<std::uint8_t>& data) const {
        const fs::path path = directory.path() / fs::u8path(name);
        fs::create_directories(path.parent_path());
        writeWholeFile(path, data);
        return path;
    }
    ModelLoader::LoadResult load(const std::string& name, const std::vector<std::uint8_t>& data) const {
        return ModelLoader::load(data, write(name, data));
    }
    std::string error(const std::string& name, const std::vector<std::uint8_t>& data) const {
        try {
            load(name, data);
        } catch (const LoaderError& e) {
            return e.errorDescription();
        }
        return "loaded";
    }
};

// Two meshes whose data lie in two buffers: the first triangle in buffer 0, the second in 1.
json twoBufferDocument(const std::string& uri0, const std::string& uri1, std::vector<std::uint8_t>& data0,
                       std::vector<std::uint8_t>& data1) {
    AssetBuilder a;
    a.triangleMesh(unitTriangle, std::nullopt, "First");
    data0 = a.buffer;
    a.buffer.clear();
    a.triangleMesh(otherTriangle, std::nullopt, "Second");
    data1 = a.buffer;
    a.document["bufferViews"][1]["buffer"] = 1;
    a.document["bufferViews"][1]["byteOffset"] = 0;
    a.document["buffers"] = json::array({{{"uri", uri0}}, {{"uri", uri1}}});
    return a.document;
}

TEST(GLTFExternalBuffers, EveryBufferIsReadFromItsFileOrDataURI) {
    ModelFolder folder;
    std::vector<std::uint8_t> data0, data1;
    const json d = twoBufferDocument("scene.bin", "", data0, data1);
    json mixed = d;
    mixed["buffers"][1]["uri"] = "data:application/octet-stream;base64," + base64(data1);
    folder.write("scene.bin", data0);
    const auto r = folder.load("scene.gltf", jsonBytes(mixed));
    ASSERT_EQ(nodeNames(r), (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(positionsOf(*modelNodes(r)[0]), unitTriangle);
    EXPECT_EQ(positionsOf(*modelNodes(r)[1]), otherTriangle);

    // Percent-encoded names, spaces and non-ASCII letters, and a subfolder.
    json encoded = d;
    encoded["buffers"][0]["uri"] = "Box%20With%20Spaces.bin";
    encoded["buffers"][1]["uri"] = "data/%C3%A9t%C3%A9.bin";
    folder.write("Box With Spaces.bin", data0);
    folder.write("data/\xC3\xA9t\xC3\xA9.bin", data1);
    const auto e = folder.load("encoded.gltf", jsonBytes(encoded));
    ASSERT_EQ(modelNodes(e).size(), 2u);
    EXPECT_EQ(positionsOf(*modelNodes(e)[1]), otherTriangle);
}

TEST(GLTFExternalBuffers, GLBBufferZeroIsTheBINChunkAndOthersAreFiles) {
    ModelFolder folder;
    std::vector<std::uint8_t> data0, data1;
    json d = twoBufferDocument("ignored.bin", "second.bin", data0, data1);
    folder.write("second.bin", data1);
    const auto r = folder.load("model.glb", glbContainer({{chunkJSON, jsonBytes(d)}, {chunkBIN, data0}}));
    ASSERT_EQ(modelNodes(r).size(), 2u);
    EXPECT_EQ(positionsOf(*modelNodes(r)[0]), unitTriangle);
    EXPECT_EQ(positionsOf(*modelNodes(r)[1]), otherTriangle);
}

TEST(GLTFExternalBuffers, ANeededBufferThatCannotBeReadEndsTheLoadNamingIt) {
    ModelFolder folder;
    std::vector<std::uint8_t> data0, data1;
    const json d = twoBufferDocument("scene.bin", "data:;base64,", data0, data1);
    EXPECT_EQ(folder.error("scene.gltf", jsonBytes(d)), "Parse error: glTF buffer 'scene.bin' could not be read: not found");

    json outside = d;
    outside["buffers"][0]["uri"] = "../scene.bin";
    EXPECT_EQ(folder.error("scene.gltf", jsonBytes(outside)),
              "Parse error: glTF buffer '../scene.bin' could not be read: outside the model's folder");
    outside["buffers"][0]["uri"] = "/etc/passwd";
    EXPECT_EQ(folder.error("scene.gltf", jsonBytes(outside)),
              "Parse error: glTF buffer '/etc/passwd' could not be read: outside the model's folder");
    // Other schemes name no file here: the buffer is absent, as before.
    for (const char* uri : {"file:///etc/passwd", "http://example.com/scene.bin", "Data:;base64,AAAA"}) {
        outside["buffers"][0]["uri"] = uri;
        EXPECT_EQ(folder.error("scene.gltf", jsonBytes(outside)), "loaded") << uri;
    }
    fs::create_directories(folder.directory.path() / "folder.bin");
    outside["buffers"][0]["uri"] = "folder.bin";
    EXPECT_EQ(folder.error("scene.gltf", jsonBytes(outside)),
              "Parse error: glTF buffer 'folder.bin' could not be read: not a regular file");
}

TEST(GLTFExternalBuffers, WithoutALocationFileBuffersStayAbsent) {
    std::vector<std::uint8_t> data0, data1;
    const auto text = jsonBytes(twoBufferDocument("scene.bin", "data:;base64,", data0, data1));
    RelatedFiles nowhere;
    const ReaderResult r = GLTFParser().parse(text, false, nowhere);
    EXPECT_TRUE(r.scene->rootNode->childNodes().empty());
}

} // namespace
} // namespace trimeo::test
