#include "AlembicReader.h"

#include "AbcHeaders.h"
#include "AbcSchemas.h"
#include "OgawaFile.h"
#include "formats/common/LoaderError.h"

#include <cstring>
#include <map>

namespace trimeo {
namespace {
using namespace alembic;

// Ogawa entries may point anywhere, also back at an ancestor: the walk is bounded in depth
// and in the number of objects it visits, whatever the file says.
constexpr int kMaxDepth = 128;
constexpr std::size_t kMaxObjects = 100000;

// Root group children of an Alembic archive.
enum RootChild : std::uint64_t { kTopObject = 2, kTimeSamplings = 4, kIndexedMetadata = 5 };

struct Compound {
    OgawaGroup group;
    std::vector<PropertyHeader> headers;
};

template <class T>
std::vector<T> elementsOf(std::span<const std::uint8_t> bytes) {
    std::vector<T> out(bytes.size() / sizeof(T));
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    return out;
}

class Walker {
public:
    explicit Walker(std::span<const std::uint8_t> data) : file_(data) {}

    ReaderResult read() {
        read_.scene = std::make_shared<scene::Scene>();
        std::optional<OgawaGroup> root = file_.root();
        if (!root) return read_;
        if (auto block = file_.data(*root, kIndexedMetadata)) metadata_ = parseIndexedMetadata(*block);
        if (auto block = file_.data(*root, kTimeSamplings)) samplings_ = parseTimeSamplings(*block);
        if (auto top = file_.group(*root, kTopObject)) children(*top, *read_.scene->rootNode, 0);
        return read_;
    }

private:
    // An object group holds its properties first, then its child objects, then their headers.
    void children(const OgawaGroup& object, scene::Node& parent, int depth) {
        if (object.count < 2 || depth >= kMaxDepth) return;
        auto block = file_.data(object, object.count - 1);
        if (!block) return;
        std::vector<ObjectHeader> headers = parseObjectHeaders(*block, metadata_);
        for (std::size_t i = 0; i < headers.size() && i + 2 < object.count; ++i) {
            if (++objects_ > kMaxObjects) return;
            auto child = file_.group(object, i + 1);
            if (!child) continue;
            auto node = scene::Node::make();
            node->name = headers[i].name;
            readSchema(*child, headers[i], *node);
            children(*child, *node, depth + 1);
            parent.addChildNode(std::move(node));
        }
    }

    void readSchema(const OgawaGroup& object, const ObjectHeader& header, scene::Node& node) {
        const std::string schema = metadataValue(header.metadata, "schema");
        if (schema != "AbcGeom_PolyMesh_v1" && schema != "AbcGeom_Xform_v3") return;
        auto props = compound(object, 0);
        if (!props) return;
        if (schema == "AbcGeom_PolyMesh_v1") {
            // Entries aimed at one group again share its geometry instead of copying it.
            if (auto seen = meshes_.find(object.offset); seen != meshes_.end()) {
                node.geometry = seen->second;
                if (node.geometry) ++read_.count;
            } else if (auto geom = subCompound(*props, ".geom")) {
                readPolyMesh(*geom, node);
                meshes_[object.offset] = node.geometry;
            }
        } else if (auto xform = subCompound(*props, ".xform")) {
            readXform(*xform, node);
        }
    }

    void readPolyMesh(const Compound& geom, scene::Node& node) {
        PolyMeshSample s;
        s.positions = floats(geom, "P", 3);
        s.counts = ints(geom, ".faceCounts");
        s.indices = ints(geom, ".faceIndices");
        s.normals = floats(geom, "N", 3); // an indexed N (a compound) is not read
        if (auto geometry = buildPolyMesh(s)) {
            node.geometry = std::make_shared<scene::Geometry>(std::move(*geometry));
            ++read_.count;
        }
    }

    void readXform(const Compound& xform, scene::Node& node) {
        std::span<const std::uint8_t> ops = firstSample(xform, ".ops", PropertyKind::scalar, Pod::uint8);
        std::vector<double> values = elementsOf<double>(firstSample(xform, ".vals", PropertyKind::scalar, Pod::float64));
        // Past 255 channels the values no longer fit a scalar's extent and become an array.
        if (values.empty()) values = elementsOf<double>(firstSample(xform, ".vals", PropertyKind::array, Pod::float64));
        if (!ops.empty()) setNodeTransform(node, composeXformOps(ops, values));
    }

    std::vector<float> floats(const Compound& c, const std::string& name, std::uint8_t extent) {
        auto sample = firstSample(c, name, PropertyKind::array, Pod::float32, extent);
        std::vector<float> out = elementsOf<float>(sample);
        out.resize(out.size() / extent * extent);
        return out;
    }
    std::vector<std::int32_t> ints(const Compound& c, const std::string& name) {
        return elementsOf<std::int32_t>(firstSample(c, name, PropertyKind::array, Pod::int32, 1));
    }

    // The bytes of sample 0 of a property of the given kind and type, or empty. Samples
    // start with a 16-byte digest; array samples are followed by their dimensions, which
    // are not needed for the flat arrays read here.
    std::span<const std::uint8_t> firstSample(const Compound& c, const std::string& name, PropertyKind kind, Pod pod,
                                              std::uint8_t extent = 0) {
        for (std::size_t i = 0; i < c.headers.size(); ++i) {
            const PropertyHeader& h = c.headers[i];
            if (h.name != name) continue;
            if (h.kind != kind || h.pod != std::uint8_t(pod) || (extent && h.extent != extent) || h.sampleCount == 0)
                return {};
            auto property = file_.group(c.group, i);
            if (!property) return {};
            auto bytes = file_.data(*property, 0);
            if (!bytes || bytes->size() < 16) return {};
            return bytes->subspan(16);
        }
        return {};
    }

    std::optional<Compound> compound(const OgawaGroup& parent, std::uint64_t child) {
        auto group = file_.group(parent, child);
        if (!group) return std::nullopt;
        Compound c{*group, {}};
        if (group->count == 0) return c;
        auto block = file_.data(*group, group->count - 1);
        if (!block) return std::nullopt;
        c.headers = parsePropertyHeaders(*block, metadata_);
        if (c.headers.size() > group->count - 1) c.headers.resize(group->count - 1);
        return c;
    }

    std::optional<Compound> subCompound(const Compound& parent, const std::string& name) {
        for (std::size_t i = 0; i < parent.headers.size(); ++i)
            if (parent.headers[i].name == name && parent.headers[i].kind == PropertyKind::compound)
                return compound(parent.group, i);
        return std::nullopt;
    }

    OgawaFile file_;
    std::vector<std::string> metadata_{std::string()};
    std::vector<TimeSampling> samplings_;
    std::size_t objects_ = 0;
    std::map<std::uint64_t, std::shared_ptr<scene::Geometry>> meshes_;
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
