// Builds glTF documents, their buffers and both file forms for the importer's tests, so no
// test hand-writes binary data.
#pragma once

#include "loading/ModelLoader.h"
#include "support/TestFiles.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace trimeo::test {

using json = nlohmann::json;

constexpr std::uint32_t chunkJSON = 0x4E4F534A;
constexpr std::uint32_t chunkBIN = 0x004E4942;

struct Chunk {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};

// A GLB file: magic, version, total length (the real one unless given), then the chunks as they are.
std::vector<std::uint8_t> glbContainer(const std::vector<Chunk>& chunks, std::uint32_t version = 2,
                                       std::optional<std::uint32_t> totalLength = std::nullopt);
std::vector<std::uint8_t> jsonBytes(const json& document);
std::string base64(const std::vector<std::uint8_t>& bytes);

template <typename T>
std::vector<std::uint8_t> bytesOf(const std::vector<T>& values) {
    std::vector<std::uint8_t> out(values.size() * sizeof(T));
    std::memcpy(out.data(), values.data(), out.size());
    return out;
}

// A document under construction and its one buffer.
class AssetBuilder {
public:
    json document = {{"asset", {{"version", "2.0"}}}};
    std::vector<std::uint8_t> buffer;

    // Appends the bytes (after padding the buffer to 4) as a new bufferView; its index.
    int view(const std::vector<std::uint8_t>& bytes, json extra = json::object());
    int accessor(json fields);
    // A VEC3 float accessor over a new view of `xyz`.
    int positions(const std::vector<float>& xyz);
    int indices32(const std::vector<std::uint32_t>& values);
    int indices16(const std::vector<std::uint16_t>& values);
    static json primitive(int position, std::optional<int> indices = std::nullopt);
    void mesh(json primitives, std::optional<std::string> name = std::nullopt);
    // Shorthand: one mesh with one primitive over new position data (and indices if given).
    void triangleMesh(const std::vector<float>& xyz, std::optional<std::vector<std::uint32_t>> indices = std::nullopt,
                      std::optional<std::string> name = std::nullopt);

    std::vector<std::uint8_t> glb() const;                      // JSON chunk + BIN chunk
    std::vector<std::uint8_t> gltf(const std::string& mediaType = "application/octet-stream") const; // data URI
};

ModelLoader::LoadResult load(const std::vector<std::uint8_t>& file, const std::string& fileName);

// The root's children, and their names ("" for none).
std::vector<scene::Node::Ptr> modelNodes(const ModelLoader::LoadResult& result);
std::vector<std::string> nodeNames(const ModelLoader::LoadResult& result);
// The first node's vertex positions and raw indices.
std::vector<float> positionsOf(const scene::Node& node);
std::vector<std::uint32_t> indicesOf(const scene::Node& node);

// The description of the LoaderError that loading `file` under `fileName` throws;
// "loaded" when it loads.
std::string loadError(const std::vector<std::uint8_t>& file, const std::string& fileName);

} // namespace trimeo::test
