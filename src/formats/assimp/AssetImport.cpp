#include "AssetImport.h"

#include "IsolatedCall.h"
#include "formats/common/LoaderError.h"
#include "SceneTransfer.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace trimeo {
namespace {
using namespace scene;

// Triangulation is all the renderer needs. Joining identical vertices and generating
// normals are left out on purpose: on million-triangle files they cost more than the
// whole read, and the renderer derives normals itself where a mesh has none.
constexpr unsigned kPostProcess = aiProcess_Triangulate;

std::optional<Material> convertMaterial(const aiScene& s, const aiMaterial& m) {
    aiString name;
    m.Get(AI_MATKEY_NAME, name);
    // Assimp invents this material for files that define none: that is no material.
    if (std::string(name.C_Str()) == AI_DEFAULT_MATERIAL_NAME) return std::nullopt;

    Material out;
    if (name.length > 0) out.name = name.C_Str();
    aiString texPath;
    if (m.GetTexture(aiTextureType_DIFFUSE, 0, &texPath) == AI_SUCCESS && texPath.length > 0) {
        if (const aiTexture* t = s.GetEmbeddedTexture(texPath.C_Str()); t && t->mHeight == 0 && t->pcData) {
            auto* bytes = reinterpret_cast<const std::uint8_t*>(t->pcData);
            out.diffuse.contents = Image{{}, std::vector<std::uint8_t>(bytes, bytes + t->mWidth)};
        } else if (!t) {
            out.diffuse.contents = Image{texPath.C_Str(), {}};
        }
    }
    if (!out.diffuse.hasContents()) {
        aiColor4D c;
        if (m.Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS) {
            float opacity = 1;
            m.Get(AI_MATKEY_OPACITY, opacity);
            out.diffuse.contents = Color{c.r, c.g, c.b, c.a * opacity};
        }
    }
    float f;
    if (m.Get(AI_MATKEY_METALLIC_FACTOR, f) == AI_SUCCESS) out.metalness = f;
    if (m.Get(AI_MATKEY_ROUGHNESS_FACTOR, f) == AI_SUCCESS) out.roughness = f;
    int twoSided = 0;
    if (m.Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS) out.isDoubleSided = twoSided != 0;
    return out;
}

Matrix4 toMatrix(const aiMatrix4x4& a) {
    Matrix4 m;
    const float rows[4][4] = {{a.a1, a.a2, a.a3, a.a4}, {a.b1, a.b2, a.b3, a.b4}, {a.c1, a.c2, a.c3, a.c4},
                              {a.d1, a.d2, a.d3, a.d4}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.at(r, c) = rows[r][c];
    return m;
}

// The mesh's bones as a skin: each vertex keeps its four heaviest joints, weights scaled to
// sum to 1. Weights naming a vertex the mesh does not have are skipped.
void addSkin(const aiMesh& mesh, std::vector<GeometrySource>& sources, std::optional<Skin>& skin) {
    const std::size_t n = mesh.mNumVertices;
    std::vector<float> joints(n * 4, 0.0f), weights(n * 4, 0.0f);
    skin.emplace();
    for (unsigned b = 0; b < mesh.mNumBones; ++b) {
        const aiBone* bone = mesh.mBones[b];
        skin->jointNames.emplace_back(bone->mName.C_Str());
        skin->inverseBindMatrices.push_back(toMatrix(bone->mOffsetMatrix));
        for (unsigned k = 0; k < bone->mNumWeights; ++k) {
            const aiVertexWeight& vw = bone->mWeights[k];
            if (vw.mVertexId >= n || !(vw.mWeight > 0)) continue;
            float* w = &weights[std::size_t(vw.mVertexId) * 4];
            float* j = &joints[std::size_t(vw.mVertexId) * 4];
            const int lightest = int(std::min_element(w, w + 4) - w);
            if (vw.mWeight > w[lightest]) w[lightest] = vw.mWeight, j[lightest] = float(b);
        }
    }
    for (std::size_t v = 0; v < n; ++v) {
        float* w = &weights[v * 4];
        const float sum = w[0] + w[1] + w[2] + w[3];
        if (sum > 0) for (int i = 0; i < 4; ++i) w[i] /= sum;
    }
    sources.push_back(GeometrySource::boneIndices(std::move(joints)));
    sources.push_back(GeometrySource::boneWeights(std::move(weights)));
}

std::shared_ptr<Geometry> convertMesh(const aiMesh& mesh, const std::vector<std::optional<Material>>& materials) {
    const std::size_t n = mesh.mNumVertices;
    std::optional<Skin> skin;
    std::vector<float> pos(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
        pos[i * 3] = mesh.mVertices[i].x;
        pos[i * 3 + 1] = mesh.mVertices[i].y;
        pos[i * 3 + 2] = mesh.mVertices[i].z;
    }
    std::vector<GeometrySource> sources;
    sources.push_back(GeometrySource::vertices(std::move(pos)));
    if (mesh.mNormals) {
        std::vector<float> nrm(n * 3);
        for (std::size_t i = 0; i < n; ++i) {
            nrm[i * 3] = mesh.mNormals[i].x;
            nrm[i * 3 + 1] = mesh.mNormals[i].y;
            nrm[i * 3 + 2] = mesh.mNormals[i].z;
        }
        sources.push_back(GeometrySource::normals(std::move(nrm)));
    }
    if (mesh.mTextureCoords[0]) {
        std::vector<float> uv(n * 2);
        for (std::size_t i = 0; i < n; ++i) {
            uv[i * 2] = mesh.mTextureCoords[0][i].x;
            uv[i * 2 + 1] = mesh.mTextureCoords[0][i].y;
        }
        sources.push_back(GeometrySource::texcoords(std::move(uv)));
    }
    if (mesh.HasBones()) addSkin(mesh, sources, skin);
    GeometryElement element;
    element.indices.reserve(std::size_t(mesh.mNumFaces) * 3);
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices == 3) element.indices.insert(element.indices.end(), face.mIndices, face.mIndices + 3);
    }
    auto g = std::make_shared<Geometry>(std::move(sources), std::vector<GeometryElement>{std::move(element)});
    g->skin = std::move(skin);
    if (mesh.mMaterialIndex < materials.size() && materials[mesh.mMaterialIndex])
        g->materials.push_back(*materials[mesh.mMaterialIndex]);
    return g;
}

void setTransform(Node& node, const aiMatrix4x4& m) {
    aiVector3D s, p;
    aiQuaternion q;
    m.Decompose(s, q, p);
    node.position = {p.x, p.y, p.z};
    node.scale = {s.x, s.y, s.z};
    node.orientation = Quaternion{q.x, q.y, q.z, q.w}.normalized();
}

struct Converter {
    const aiScene& source;
    std::vector<std::optional<Material>> materials;
    std::vector<std::shared_ptr<Geometry>> geometries; // one per aiMesh, shared by every node using it
    std::unordered_map<std::string, Node*> nodesByName; // first node of each name

    Node::Ptr convertNode(const aiNode& in) {
        Node::Ptr node = Node::make();
        if (in.mName.length > 0) {
            node->name = in.mName.C_Str();
            nodesByName.emplace(*node->name, node.get());
        }
        setTransform(*node, in.mTransformation);
        auto geometryOf = [&](unsigned i) { return i < geometries.size() ? geometries[i] : nullptr; };
        if (in.mNumMeshes == 1) {
            node->geometry = geometryOf(in.mMeshes[0]);
        } else {
            for (unsigned i = 0; i < in.mNumMeshes; ++i) {
                Node::Ptr part = Node::make(geometryOf(in.mMeshes[i]));
                const unsigned index = in.mMeshes[i];
                if (const aiMesh* m = index < source.mNumMeshes ? source.mMeshes[index] : nullptr; m && m->mName.length > 0)
                    part->name = m->mName.C_Str();
                node->addChildNode(std::move(part));
            }
        }
        for (unsigned i = 0; i < in.mNumChildren; ++i)
            if (in.mChildren[i]) node->addChildNode(convertNode(*in.mChildren[i]));
        return node;
    }

    void attachAnimations() {
        for (unsigned a = 0; a < source.mNumAnimations; ++a) {
            if (!source.mAnimations[a]) continue;
            const aiAnimation& anim = *source.mAnimations[a];
            std::string key = anim.mName.length > 0 ? anim.mName.C_Str() : "animation" + std::to_string(a);
            const double tps = anim.mTicksPerSecond > 0 ? anim.mTicksPerSecond : 25.0;
            for (unsigned c = 0; c < anim.mNumChannels; ++c) {
                if (!anim.mChannels[c]) continue;
                const aiNodeAnim& ch = *anim.mChannels[c];
                auto it = nodesByName.find(ch.mNodeName.C_Str());
                if (it == nodesByName.end()) continue;
                auto out = std::make_shared<Animation>();
                out->duration = anim.mDuration / tps;
                for (unsigned k = 0; k < ch.mNumPositionKeys; ++k) {
                    const auto& key3 = ch.mPositionKeys[k];
                    out->translation.push_back({key3.mTime / tps, {key3.mValue.x, key3.mValue.y, key3.mValue.z}});
                }
                for (unsigned k = 0; k < ch.mNumRotationKeys; ++k) {
                    const auto& kq = ch.mRotationKeys[k];
                    out->rotation.push_back({kq.mTime / tps, Quaternion{kq.mValue.x, kq.mValue.y, kq.mValue.z, kq.mValue.w}});
                }
                for (unsigned k = 0; k < ch.mNumScalingKeys; ++k) {
                    const auto& ks = ch.mScalingKeys[k];
                    out->scale.push_back({ks.mTime / tps, {ks.mValue.x, ks.mValue.y, ks.mValue.z}});
                }
                it->second->addAnimation(std::move(out), key);
            }
        }
    }
};

AssetRead convert(const aiScene* s, Assimp::Importer& importer, bool withAnimations) {
    AssetRead out;
    if (!s || !s->mRootNode) {
        out.error = importer.GetErrorString();
        if (out.error.empty()) out.error = "the file could not be read";
        return out;
    }
    for (unsigned i = 0; i < s->mNumMeshes; ++i)
        if (s->mMeshes[i] && s->mMeshes[i]->mNumFaces > 0) ++out.count;

    Converter conv{*s, {}, {}, {}};
    for (unsigned i = 0; i < s->mNumMaterials; ++i)
        conv.materials.push_back(s->mMaterials[i] ? convertMaterial(*s, *s->mMaterials[i]) : std::nullopt);
    for (unsigned i = 0; i < s->mNumMeshes; ++i)
        conv.geometries.push_back(s->mMeshes[i] ? convertMesh(*s->mMeshes[i], conv.materials) : nullptr);
    // The library's root node is a real node of the file (it may carry the file's up-axis
    // turn), so it becomes the one top-level node under our scene root.
    out.scene = std::make_shared<Scene>();
    out.scene->rootNode->addChildNode(conv.convertNode(*s->mRootNode));
    if (withAnimations) conv.attachAnimations();
    return out;
}

// What the reader process is asked: [u8 from memory][u8 with animations][u32 hint length]
// [hint][the path, or the file's bytes].
std::vector<std::uint8_t> readRequest(bool fromMemory, bool withAnimations, const std::string& hint,
                                      std::span<const std::uint8_t> rest) {
    const auto n = std::uint32_t(hint.size());
    std::vector<std::uint8_t> out(6 + hint.size() + rest.size());
    out[0] = std::uint8_t(fromMemory);
    out[1] = std::uint8_t(withAnimations);
    std::memcpy(out.data() + 2, &n, sizeof n);
    std::copy(hint.begin(), hint.end(), out.begin() + 6);
    std::copy(rest.begin(), rest.end(), out.begin() + 6 + std::ptrdiff_t(hint.size()));
    return out;
}

// Runs in the reader process (IsolatedCall.h). The request comes from this file's own
// readRequest, yet its lengths are still checked before use.
void readInReaderProcess(std::span<const std::uint8_t> request, std::vector<std::uint8_t>& out) {
    if (request.size() < 6) throw std::runtime_error("short request");
    const bool fromMemory = request[0] != 0, withAnimations = request[1] != 0;
    std::uint32_t hintSize = 0;
    std::memcpy(&hintSize, request.data() + 2, sizeof hintSize);
    if (hintSize > request.size() - 6) throw std::runtime_error("bad request");
    const std::string hint(reinterpret_cast<const char*>(request.data() + 6), hintSize);
    const std::span<const std::uint8_t> rest = request.subspan(6 + hintSize);
    Assimp::Importer importer;
    const aiScene* scene =
        fromMemory ? importer.ReadFileFromMemory(rest.data(), rest.size(), kPostProcess, hint.c_str())
                   : importer.ReadFile(std::string(reinterpret_cast<const char*>(rest.data()), rest.size()), kPostProcess);
    encodeAssetRead(convert(scene, importer, withAnimations), out);
}

constinit const IsolatedTask kAssetReadTask{"asset-read", &readInReaderProcess};
TRIMEO_ISOLATED_TASK(kAssetReadTask);

// Assimp's readers are not safe on hostile input (truncated PLY files crash or hang it),
// so every read runs in a reader process and only the converted scene comes back.
AssetRead readIsolated(const std::vector<std::uint8_t>& request, std::size_t inputBytes) {
    const double timeout = 20.0 + double(inputBytes) / 2e6; // generous: 2 MB/s is far below any reader
    const std::size_t memoryLimit = readerMemoryLimit(inputBytes);
    IsolatedOutcome outcome = runIsolated(kAssetReadTask, request, timeout, memoryLimit);
    if (outcome.outOfMemory)
        throw LoaderError::parseError("reading the file needs more than " + std::to_string(memoryLimit >> 20) +
                                      " MiB of memory");
    if (!outcome.completed) return {0, nullptr, outcome.failure, true};
    return decodeAssetRead(outcome.output());
}

ReaderResult asResult(AssetRead read) {
    if (!read.scene) throw AssetLibraryError(std::move(read.error), read.stopped);
    return {std::move(read.scene), read.count, {}};
}

std::size_t fileSize(const std::filesystem::path& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : std::size_t(size);
}

} // namespace

std::size_t readerMemoryLimit(std::size_t inputBytes) {
    const std::size_t most = std::numeric_limits<std::size_t>::max();
    if (inputBytes > (most - kReaderBaseMemoryBytes) / kReaderMemoryPerInputByte) return most;
    return kReaderBaseMemoryBytes + inputBytes * kReaderMemoryPerInputByte;
}

ReaderResult readAssetFile(const std::filesystem::path& path, bool withAnimations) {
    const std::string text = path.string();
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    AssetRead read = readIsolated(readRequest(false, withAnimations, {}, {p, text.size()}), fileSize(path));
    // Some readers name the root after the file: here that is a temporary name, not the model's.
    if (read.scene && !read.scene->rootNode->childNodes().empty()) {
        auto& top = read.scene->rootNode->childNodes().front();
        if (top->name == path.filename().string()) top->name.reset();
    }
    return asResult(std::move(read));
}

ReaderResult readAssetMemory(std::span<const std::uint8_t> data, const std::string& extensionHint, bool withAnimations) {
    if (data.empty()) throw AssetLibraryError("the file is empty", false);
    return asResult(readIsolated(readRequest(true, withAnimations, extensionHint, data), data.size()));
}

} // namespace trimeo
