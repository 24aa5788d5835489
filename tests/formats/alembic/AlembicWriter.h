// A small writer of Ogawa-form Alembic archives for tests and fuzz seeds: objects with
// compound, scalar and array properties holding one sample each, metadata inline or
// through the archive's shared table. Digests are written as zeros.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace trimeo::test::abc {

using Bytes = std::vector<std::uint8_t>;

// A tree of Ogawa groups and data blocks.
struct OgawaNode {
    bool isData = false;
    Bytes bytes;
    std::vector<OgawaNode> children;

    static OgawaNode data(Bytes b) { return {true, std::move(b), {}}; }
    static OgawaNode group(std::vector<OgawaNode> c) { return {false, {}, std::move(c)}; }
};
Bytes writeOgawa(const OgawaNode& root);

// The little-endian 64-bit word at `at`, for reading and patching written archives.
inline std::uint64_t u64At(const Bytes& file, std::size_t at) {
    std::uint64_t value;
    std::memcpy(&value, file.data() + at, 8);
    return value;
}
inline void putU64(Bytes& file, std::size_t at, std::uint64_t value) { std::memcpy(file.data() + at, &value, 8); }

enum class Kind { compound, scalar, array };
struct Property {
    std::string name;
    Kind kind = Kind::compound;
    std::uint8_t pod = 0, extent = 1;
    std::string metadata;
    Bytes sample;                  // the one sample of a scalar or array property
    std::vector<Property> members; // of a compound
};
struct Object {
    std::string name;
    std::string metadata;
    std::vector<Property> properties;
    std::vector<Object> children;
};

struct ArchiveOptions {
    bool indexedMetadata = false; // metadata by index into the shared table, not inline
};
// The top-level objects become the children of the archive's root object.
OgawaNode archiveTree(const std::vector<Object>& top, ArchiveOptions options = {});
Bytes writeArchive(const std::vector<Object>& top, ArchiveOptions options = {});

template <class T>
Bytes bytesOf(const std::vector<T>& values) {
    Bytes out(values.size() * sizeof(T));
    if (!out.empty()) std::memcpy(out.data(), values.data(), out.size());
    return out;
}

Property floatArray(std::string name, const std::vector<float>& values, std::uint8_t extent);
Property intArray(std::string name, const std::vector<std::int32_t>& values);
Object polyMesh(std::string name, const std::vector<float>& points, const std::vector<std::int32_t>& counts,
                const std::vector<std::int32_t>& indices, const std::vector<float>& normals = {});
// A subdivision surface: its control mesh, a scheme and a crease the reader has no use for.
Object subD(std::string name, const std::vector<float>& points, const std::vector<std::int32_t>& counts,
            const std::vector<std::int32_t>& indices);
// A text scalar, stored with its terminating zero.
Property stringScalar(std::string name, const std::string& text);
// The object with a "visible" property: 0 hidden, -1 deferred to the parent, 1 visible.
Object visible(Object object, std::int8_t visibility);
// An object standing for the object at `sourcePath` ("/a/b"), as Alembic's instancing writes it.
Object instance(std::string name, const std::string& sourcePath);
Object xform(std::string name, const std::vector<std::uint8_t>& ops, const std::vector<double>& values,
             std::vector<Object> children);

// Op bytes: the type in the high nibble.
enum XformOp : std::uint8_t { scaleOp = 0x00, translateOp = 0x10, rotateOp = 0x20, matrixOp = 0x30,
                              rotateXOp = 0x40, rotateYOp = 0x50, rotateZOp = 0x60 };

} // namespace trimeo::test::abc
