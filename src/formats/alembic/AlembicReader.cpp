#include "AlembicReader.h"

#include "AbcArchive.h"
#include "AbcSchemas.h"
#include "formats/common/LoaderError.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace trimeo {
namespace {
using namespace alembic;

// Ogawa entries may point anywhere, also back at an ancestor: the walk is bounded in depth
// and in the number of objects it visits, whatever the file says.
constexpr int kMaxDepth = 128;
constexpr std::size_t kMaxObjects = 100000;

constexpr std::int8_t kHidden = 0;

template <class T>
std::vector<T> elementsOf(std::span<const std::uint8_t> bytes) {
    std::vector<T> out(bytes.size() / sizeof(T));
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    return out;
}

class Walker {
public:
    explicit Walker(std::span<const std::uint8_t> data) : archive_(data) {}

    ReaderResult read() {
        read_.scene = std::make_shared<scene::Scene>();
        if (auto top = archive_.top()) {
            path_.push_back(top->offset);
            children(*top, *read_.scene->rootNode);
        }
        return read_;
    }

private:
    void children(const OgawaGroup& object, scene::Node& parent) {
        if (path_.size() > kMaxDepth) return;
        for (ObjectRef& child : archive_.children(object)) {
            if (++objects_ > kMaxObjects) return;
            std::optional<ObjectRef> shown = archive_.resolve(child);
            // An instance of nothing shows nothing; a group that is its own ancestor would never end.
            if (!shown || std::find(path_.begin(), path_.end(), shown->group.offset) != path_.end()) continue;
            std::optional<Compound> props = archive_.properties(shown->group);
            if (props && hidden(*props)) continue;
            auto node = scene::Node::make();
            node->name = child.header.name;
            if (props) {
                const Content& content = contentOf(*shown, *props);
                node->geometry = content.geometry;
                if (content.geometry) ++read_.count;
                if (content.transform) setNodeTransform(*node, *content.transform);
            }
            path_.push_back(shown->group.offset);
            children(shown->group, *node);
            path_.pop_back();
            parent.addChildNode(std::move(node));
        }
    }

    // Hidden at the first sample; deferred (-1) and visible (1) objects are shown.
    bool hidden(const Compound& props) {
        auto sample = archive_.firstSample(props, "visible", PropertyKind::scalar, Pod::int8, 1);
        return !sample.empty() && std::int8_t(sample[0]) == kHidden;
    }

    // What an object group holds is read once: entries aimed at it again, instances among
    // them, share its geometry and transform instead of reading and copying them again.
    struct Content {
        std::shared_ptr<scene::Geometry> geometry;
        std::optional<scene::Matrix4> transform;
    };
    const Content& contentOf(const ObjectRef& object, const Compound& props) {
        auto [at, fresh] = contents_.try_emplace(object.group.offset);
        if (!fresh) return at->second;
        const std::string schema = metadataValue(object.header.metadata, "schema");
        const bool polyMesh = schema == "AbcGeom_PolyMesh_v1";
        if (polyMesh || schema == "AbcGeom_SubD_v1") {
            // A subdivision surface is shown as its control mesh, which has no normals.
            if (auto geom = archive_.member(props, ".geom")) at->second.geometry = readMesh(*geom, polyMesh);
        } else if (schema == "AbcGeom_Xform_v3") {
            if (auto xform = archive_.member(props, ".xform")) at->second.transform = readXform(*xform);
        }
        return at->second;
    }

    std::shared_ptr<scene::Geometry> readMesh(const Compound& geom, bool withNormals) {
        PolyMeshSample s;
        s.positions = floats(geom, "P", 3);
        s.counts = ints(geom, ".faceCounts");
        s.indices = ints(geom, ".faceIndices");
        if (withNormals) s.normals = floats(geom, "N", 3); // an indexed N (a compound) is not read
        auto geometry = buildPolyMesh(s);
        return geometry ? std::make_shared<scene::Geometry>(std::move(*geometry)) : nullptr;
    }

    std::optional<scene::Matrix4> readXform(const Compound& xform) {
        std::span<const std::uint8_t> ops = archive_.firstSample(xform, ".ops", PropertyKind::scalar, Pod::uint8);
        std::vector<double> values =
            elementsOf<double>(archive_.firstSample(xform, ".vals", PropertyKind::scalar, Pod::float64));
        // Past 255 channels the values no longer fit a scalar's extent and become an array.
        if (values.empty())
            values = elementsOf<double>(archive_.firstSample(xform, ".vals", PropertyKind::array, Pod::float64));
        if (ops.empty()) return std::nullopt;
        return composeXformOps(ops, values);
    }

    // Array samples are followed by their dimensions, which the flat arrays read here do not need.
    std::vector<float> floats(const Compound& c, const std::string& name, std::uint8_t extent) {
        std::vector<float> out = elementsOf<float>(archive_.firstSample(c, name, PropertyKind::array, Pod::float32, extent));
        out.resize(out.size() / extent * extent);
        return out;
    }
    std::vector<std::int32_t> ints(const Compound& c, const std::string& name) {
        return elementsOf<std::int32_t>(archive_.firstSample(c, name, PropertyKind::array, Pod::int32, 1));
    }

    Archive archive_;
    std::size_t objects_ = 0;
    std::vector<std::uint64_t> path_; // object groups from the top to the one being read
    std::map<std::uint64_t, Content> contents_;
    ReaderResult read_;
};

} // namespace

std::optional<ReaderResult> readAlembic(const ReaderInput& input) {
    const std::span<const std::uint8_t> data = input.bytes;
    if (data.size() >= 4 && std::memcmp(data.data(), "\x89HDF", 4) == 0)
        throw LoaderError::parseError("Alembic files in the older HDF5 form are not supported; "
                                      "re-export the file in the Ogawa form");
    return Walker(data).read();
}

} // namespace trimeo
