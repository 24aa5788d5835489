#include "AlembicWriter.h"

#include <map>

namespace trimeo::test::abc {
namespace {
constexpr std::uint64_t kDataBit = 0x8000000000000000ull;

template <class T>
void put(Bytes& out, T value) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    out.insert(out.end(), p, p + sizeof(T));
}
void put(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// Children are written before their group, so every entry points backwards.
std::uint64_t place(Bytes& out, const OgawaNode& node) {
    if (node.isData) {
        if (node.bytes.empty()) return kDataBit;
        std::uint64_t at = out.size();
        put(out, std::uint64_t(node.bytes.size()));
        out.insert(out.end(), node.bytes.begin(), node.bytes.end());
        return at | kDataBit;
    }
    if (node.children.empty()) return 0;
    std::vector<std::uint64_t> entries;
    for (const OgawaNode& c : node.children) entries.push_back(place(out, c));
    std::uint64_t at = out.size();
    put(out, std::uint64_t(entries.size()));
    for (std::uint64_t e : entries) put(out, e);
    return at;
}

class ArchiveBuilder {
public:
    explicit ArchiveBuilder(ArchiveOptions o) : options_(o) {}

    OgawaNode object(const std::vector<Property>& properties, const std::vector<Object>& children) {
        std::vector<OgawaNode> nodes{compound(properties)};
        Bytes headers;
        for (const Object& c : children) {
            nodes.push_back(object(c.properties, c.children));
            put(headers, std::uint32_t(c.name.size()));
            put(headers, c.name);
            metadata(headers, c.metadata, [&](std::uint32_t v) { put(headers, v); }, 1);
        }
        headers.resize(headers.size() + 32, 0); // property and child digests
        nodes.push_back(OgawaNode::data(std::move(headers)));
        return OgawaNode::group(std::move(nodes));
    }

    Bytes metadataTable() const {
        Bytes out;
        for (const std::string& m : table_) {
            put(out, std::uint8_t(m.size()));
            put(out, m);
        }
        return out;
    }

private:
    OgawaNode compound(const std::vector<Property>& members) {
        if (members.empty()) return OgawaNode::group({});
        std::vector<OgawaNode> nodes;
        Bytes headers;
        for (const Property& p : members) {
            nodes.push_back(property(p));
            header(headers, p);
        }
        nodes.push_back(OgawaNode::data(std::move(headers)));
        return OgawaNode::group(std::move(nodes));
    }

    OgawaNode property(const Property& p) {
        if (p.kind == Kind::compound) return compound(p.members);
        Bytes sample(16, 0);
        sample.insert(sample.end(), p.sample.begin(), p.sample.end());
        std::vector<OgawaNode> nodes{OgawaNode::data(std::move(sample))};
        if (p.kind == Kind::array) nodes.push_back(OgawaNode::data({})); // dimensions: implied by the size
        return OgawaNode::group(std::move(nodes));
    }

    // Sizes in 4 bytes (size hint 2), one sample, time sampling 0 left implicit.
    void header(Bytes& out, const Property& p) {
        const std::uint32_t type = p.kind == Kind::compound ? 0 : p.kind == Kind::scalar ? 1 : 2;
        std::uint32_t info = type | (2u << 2);
        if (p.kind != Kind::compound) info |= std::uint32_t(p.pod) << 4 | std::uint32_t(p.extent) << 12;
        Bytes tail;
        if (p.kind != Kind::compound) put(tail, std::uint32_t(1));
        put(tail, std::uint32_t(p.name.size()));
        put(tail, p.name);
        std::uint32_t index = metadata(tail, p.metadata, [&](std::uint32_t v) { put(tail, v); }, 0);
        info |= index << 20;
        put(out, info);
        out.insert(out.end(), tail.begin(), tail.end());
    }

    // Returns the index; writes the index byte itself only when `indexByte` is set (object
    // headers carry it inline, property headers inside their info word).
    template <class PutSize>
    std::uint32_t metadata(Bytes& out, const std::string& text, PutSize putSize, int indexByte) {
        std::uint32_t index = 0xff;
        if (text.empty()) index = 0;
        else if (options_.indexedMetadata && text.size() < 256) index = indexOf(text);
        if (indexByte) put(out, std::uint8_t(index));
        if (index == 0xff) {
            putSize(std::uint32_t(text.size()));
            put(out, text);
        }
        return index;
    }

    std::uint32_t indexOf(const std::string& text) {
        for (std::size_t i = 0; i < table_.size(); ++i)
            if (table_[i] == text) return std::uint32_t(i + 1);
        table_.push_back(text);
        return std::uint32_t(table_.size());
    }

    ArchiveOptions options_;
    std::vector<std::string> table_;
};

Bytes int32Bytes(std::int32_t v) { return bytesOf(std::vector<std::int32_t>{v}); }
} // namespace

Bytes writeOgawa(const OgawaNode& root) {
    Bytes out{'O', 'g', 'a', 'w', 'a', 0xff, 0, 1};
    put(out, std::uint64_t(0));
    std::uint64_t rootAt = place(out, root);
    std::memcpy(out.data() + 8, &rootAt, 8);
    return out;
}

OgawaNode archiveTree(const std::vector<Object>& top, ArchiveOptions options) {
    ArchiveBuilder b(options);
    OgawaNode topObject = b.object({}, top);
    Bytes samplings;
    put(samplings, std::uint32_t(1));
    put(samplings, 1.0);
    put(samplings, std::uint32_t(1));
    put(samplings, 0.0);
    return OgawaNode::group({OgawaNode::data(int32Bytes(1)), OgawaNode::data(int32Bytes(10709)), std::move(topObject),
                             OgawaNode::data({}), OgawaNode::data(std::move(samplings)),
                             OgawaNode::data(b.metadataTable())});
}

Bytes writeArchive(const std::vector<Object>& top, ArchiveOptions options) {
    return writeOgawa(archiveTree(top, options));
}

Property floatArray(std::string name, const std::vector<float>& values, std::uint8_t extent) {
    return {std::move(name), Kind::array, 10, extent, "", bytesOf(values), {}};
}
Property intArray(std::string name, const std::vector<std::int32_t>& values) {
    return {std::move(name), Kind::array, 6, 1, "", bytesOf(values), {}};
}

namespace {
Object surface(const std::string& schema, std::string name, const std::vector<float>& points,
               const std::vector<std::int32_t>& counts, const std::vector<std::int32_t>& indices) {
    Property geom{".geom", Kind::compound, 0, 0, "schema=" + schema, {}, {}};
    geom.members.push_back(floatArray("P", points, 3));
    geom.members.back().metadata = "interpretation=point";
    geom.members.push_back(intArray(".faceIndices", indices));
    geom.members.push_back(intArray(".faceCounts", counts));
    return {std::move(name), "schema=" + schema + ";schemaObjTitle=" + schema + ":.geom", {geom}, {}};
}
} // namespace

Object polyMesh(std::string name, const std::vector<float>& points, const std::vector<std::int32_t>& counts,
                const std::vector<std::int32_t>& indices, const std::vector<float>& normals) {
    Object mesh = surface("AbcGeom_PolyMesh_v1", std::move(name), points, counts, indices);
    if (!normals.empty()) mesh.properties[0].members.push_back(floatArray("N", normals, 3));
    return mesh;
}

Object subD(std::string name, const std::vector<float>& points, const std::vector<std::int32_t>& counts,
            const std::vector<std::int32_t>& indices) {
    Object mesh = surface("AbcGeom_SubD_v1", std::move(name), points, counts, indices);
    mesh.properties[0].members.push_back(stringScalar(".scheme", "catmull-clark"));
    mesh.properties[0].members.push_back(intArray(".creaseIndices", {0, 1}));
    return mesh;
}

Property stringScalar(std::string name, const std::string& text) {
    Bytes sample(text.begin(), text.end());
    sample.push_back(0);
    return {std::move(name), Kind::scalar, 12, 1, "", std::move(sample), {}};
}

Object visible(Object object, std::int8_t visibility) {
    object.properties.push_back({"visible", Kind::scalar, 2, 1, "", {std::uint8_t(visibility)}, {}});
    return object;
}

Object instance(std::string name, const std::string& sourcePath) {
    return {std::move(name), "isInstance=1", {stringScalar(".instanceSource", sourcePath)}, {}};
}

Object xform(std::string name, const std::vector<std::uint8_t>& ops, const std::vector<double>& values,
             std::vector<Object> children) {
    Property x{".xform", Kind::compound, 0, 0, "schema=AbcGeom_Xform_v3", {}, {}};
    x.members.push_back({".ops", Kind::scalar, 1, std::uint8_t(ops.size()), "", bytesOf(ops), {}});
    x.members.push_back({".vals", Kind::scalar, 11, std::uint8_t(values.size()), "", bytesOf(values), {}});
    return {std::move(name), "schema=AbcGeom_Xform_v3;schemaObjTitle=AbcGeom_Xform_v3:.xform", {x},
            std::move(children)};
}

} // namespace trimeo::test::abc
