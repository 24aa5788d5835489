#include "AbcArchive.h"

#include <algorithm>

namespace trimeo::alembic {
namespace {
// Root group children of an Alembic archive.
enum RootChild : std::uint64_t { kTopObject = 2, kIndexedMetadata = 5 };

// Header blocks and texts of real archives are small; a file that makes the reader parse
// more than this (one block again and again, through aliased groups) is not read further.
constexpr std::size_t kMaxParsedBytes = std::size_t(256) << 20;
// Alembic's own writer makes neither instances of instances nor deep sources; these only
// stop files that chain or nest them without end.
constexpr int kMaxInstanceHops = 32;
constexpr std::size_t kMaxPathComponents = 128;

constexpr std::size_t kSampleDigest = 16;

bool isInstance(const ObjectHeader& header) { return metadataValue(header.metadata, "isInstance") == "1"; }
} // namespace

Archive::Archive(std::span<const std::uint8_t> bytes) : file_(bytes) {
    std::optional<OgawaGroup> root = file_.root();
    if (!root) return;
    if (auto block = file_.data(*root, kIndexedMetadata)) metadata_ = parseIndexedMetadata(*block);
    top_ = file_.group(*root, kTopObject);
}

bool Archive::spend(std::size_t bytes) {
    if (bytes > kMaxParsedBytes - parsed_) {
        parsed_ = kMaxParsedBytes;
        return false;
    }
    parsed_ += bytes;
    return true;
}

std::vector<ObjectRef> Archive::children(const OgawaGroup& object) {
    std::vector<ObjectRef> out;
    if (object.count < 2) return out;
    auto block = file_.data(object, object.count - 1);
    if (!block || !spend(block->size())) return out;
    std::vector<ObjectHeader> headers = parseObjectHeaders(*block, metadata_);
    for (std::size_t i = 0; i < headers.size() && i + 2 < object.count; ++i)
        if (auto group = file_.group(object, i + 1)) out.push_back({*group, std::move(headers[i])});
    return out;
}

std::optional<Compound> Archive::compound(const OgawaGroup& parent, std::uint64_t child) {
    auto group = file_.group(parent, child);
    if (!group) return std::nullopt;
    Compound c{*group, {}};
    if (group->count == 0) return c;
    auto block = file_.data(*group, group->count - 1);
    if (!block || !spend(block->size())) return std::nullopt;
    c.headers = parsePropertyHeaders(*block, metadata_);
    if (c.headers.size() > group->count - 1) c.headers.resize(group->count - 1);
    return c;
}

std::optional<Compound> Archive::member(const Compound& parent, const std::string& name) {
    for (std::size_t i = 0; i < parent.headers.size(); ++i)
        if (parent.headers[i].name == name && parent.headers[i].kind == PropertyKind::compound)
            return compound(parent.group, i);
    return std::nullopt;
}

std::span<const std::uint8_t> Archive::firstSample(const Compound& c, const std::string& name, PropertyKind kind,
                                                   Pod pod, std::uint8_t extent) {
    for (std::size_t i = 0; i < c.headers.size(); ++i) {
        const PropertyHeader& h = c.headers[i];
        if (h.name != name) continue;
        if (h.kind != kind || h.pod != std::uint8_t(pod) || (extent && h.extent != extent) || h.sampleCount == 0)
            return {};
        auto property = file_.group(c.group, i);
        if (!property) return {};
        auto bytes = file_.data(*property, 0);
        if (!bytes || bytes->size() < kSampleDigest) return {};
        return bytes->subspan(kSampleDigest);
    }
    return {};
}

std::string Archive::firstText(const Compound& c, const std::string& name) {
    std::span<const std::uint8_t> bytes = firstSample(c, name, PropertyKind::scalar, Pod::string);
    if (!spend(bytes.size())) return {};
    auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t(0));
    return std::string(bytes.begin(), end);
}

std::optional<ObjectRef> Archive::resolve(ObjectRef object) {
    for (int hops = 0; isInstance(object.header); ++hops) {
        if (hops == kMaxInstanceHops) return std::nullopt;
        auto props = properties(object.group);
        std::optional<ObjectRef> target = props ? find(firstText(*props, ".instanceSource")) : std::nullopt;
        if (!target) return std::nullopt;
        object = std::move(*target);
    }
    return object;
}

// Paths are looked up once: many instances usually share one source.
std::optional<ObjectRef> Archive::find(const std::string& path) {
    if (auto known = paths_.find(path); known != paths_.end()) return known->second;
    if (!top_ || nested_ >= kMaxInstanceHops) return std::nullopt;
    // Marked as leading nowhere while it is looked up: a path that needs itself fails.
    paths_[path] = std::nullopt;
    ++nested_;
    std::optional<ObjectRef> found = walk(path);
    --nested_;
    paths_[path] = found;
    return found;
}

// Alembic's rule: the path is walked from the top object by name; an instance met on the
// way is followed before the walk goes on, one at the end is returned as it is.
std::optional<ObjectRef> Archive::walk(const std::string& path) {
    OgawaGroup at = *top_;
    std::size_t start = path.starts_with('/') ? 1 : 0;
    for (std::size_t components = 0; components < kMaxPathComponents && start < path.size(); ++components) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, slash - start);
        std::vector<ObjectRef> kids = children(at);
        auto named = std::find_if(kids.begin(), kids.end(), [&](const ObjectRef& k) { return k.header.name == name; });
        if (named == kids.end()) return std::nullopt;
        if (slash == path.size()) return std::move(*named);
        std::optional<ObjectRef> next = resolve(std::move(*named));
        if (!next) return std::nullopt;
        at = next->group;
        start = slash + 1;
    }
    return std::nullopt;
}

} // namespace trimeo::alembic
