// An Alembic archive's objects and properties over its Ogawa container: an object group
// holds its property compound first, then its child objects, then their headers; a
// compound holds its members, then their headers. Only first samples are read.
// Work is bounded whatever the file says: header and text bytes parsed in all, instance
// hops, and the components of an instance path.
#pragma once

#include "AbcHeaders.h"
#include "OgawaFile.h"

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trimeo::alembic {

struct Compound {
    OgawaGroup group;
    std::vector<PropertyHeader> headers;
};

struct ObjectRef {
    OgawaGroup group;
    ObjectHeader header;
};

class Archive {
public:
    // The bytes must outlive the archive.
    explicit Archive(std::span<const std::uint8_t> bytes);

    // The top object, whose children are the archive's objects; nothing for bytes that
    // are not an Ogawa archive.
    std::optional<OgawaGroup> top() const { return top_; }

    // The child objects in file order; children whose group cannot be read are left out.
    std::vector<ObjectRef> children(const OgawaGroup& object);
    std::optional<Compound> properties(const OgawaGroup& object) { return compound(object, 0); }
    std::optional<Compound> member(const Compound& parent, const std::string& name);

    // The bytes of sample 0 of a scalar or array property of the given type (and extent,
    // when not 0), without the sample's digest; empty when there is no such property.
    std::span<const std::uint8_t> firstSample(const Compound& c, const std::string& name, PropertyKind kind, Pod pod,
                                              std::uint8_t extent = 0);
    // Sample 0 of a text scalar, up to its terminating zero; counts against the bound on
    // header bytes, as texts are read again for every object aimed at the same group.
    std::string firstText(const Compound& c, const std::string& name);

    // What the object shows: for an instance ("isInstance=1" with an ".instanceSource"
    // path), the object that path names, followed through further instances; any other
    // object as it is. Nothing when an instance leads nowhere or round in a circle.
    std::optional<ObjectRef> resolve(ObjectRef object);

private:
    std::optional<Compound> compound(const OgawaGroup& parent, std::uint64_t child);
    std::optional<ObjectRef> find(const std::string& path);
    std::optional<ObjectRef> walk(const std::string& path);
    bool spend(std::size_t bytes);

    OgawaFile file_;
    std::optional<OgawaGroup> top_;
    std::vector<std::string> metadata_{std::string()};
    std::size_t parsed_ = 0;
    int nested_ = 0;
    std::map<std::string, std::optional<ObjectRef>> paths_;
};

} // namespace trimeo::alembic
