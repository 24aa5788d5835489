#include "BuildPlacement.h"

#include "PackagePaths.h"
#include "formats/common/LoaderError.h"

#include <algorithm>

namespace trimeo::threemf {
namespace {

// Package paths compare in one form: no leading '/', no empty or "." components.
std::optional<std::string> normalPath(std::string_view path) {
    if (path.starts_with('/')) path.remove_prefix(1);
    auto components = splitPackagePath(path);
    if (!components || components->empty()) return std::nullopt;
    std::string joined;
    for (const std::string& c : *components) joined += (joined.empty() ? "" : "/") + c;
    return joined;
}

class Walk {
public:
    Walk(ModelParts& parts, const PlacementLimits& limits) : parts_(parts), limits_(limits) {}

    void place(std::size_t part, std::uint32_t objectId, const AffineTransform& transform, std::size_t depth) {
        if (depth > limits_.maxDepth) return;
        const std::optional<std::size_t> index = parts_.object(part, objectId);
        if (!index) return;
        const std::pair<std::size_t, std::uint32_t> key{part, objectId};
        if (std::find(open_.begin(), open_.end(), key) != open_.end()) return; // a cycle
        if (++visits_ > limits_.maxVisits)
            throw LoaderError::parseError("3MF build reaches more than " + std::to_string(limits_.maxVisits) +
                                          " objects");
        if (auto mesh = parts_.part(part).objects[*index].mesh) addPlacement(part, *mesh, transform);
        open_.push_back(key);
        // By index: reading another part on the way may move the part lists around.
        for (std::size_t i = 0; i < parts_.part(part).objects[*index].components.size(); ++i) {
            const ThreeMFXMLParser::Reference& c = parts_.part(part).objects[*index].components[i];
            const std::uint32_t id = c.objectId;
            const AffineTransform composed = c.transform.then(transform);
            if (auto target = partOf(part, c)) place(*target, id, composed, depth + 1);
        }
        open_.pop_back();
    }

    std::optional<std::size_t> partOf(std::size_t referrer, const ThreeMFXMLParser::Reference& r) {
        return r.path.empty() ? std::optional<std::size_t>(referrer) : parts_.find(r.path);
    }

    std::vector<Placement> placements;

private:
    void addPlacement(std::size_t part, std::size_t mesh, const AffineTransform& transform) {
        if (placements.size() == limits_.maxPlacements)
            throw LoaderError::parseError("3MF build places more than " + std::to_string(limits_.maxPlacements) +
                                          " meshes");
        vertices_ += parts_.part(part).meshes[mesh].vertexCount();
        if (vertices_ > limits_.maxPlacedVertices)
            throw LoaderError::parseError("3MF build places more than " + std::to_string(limits_.maxPlacedVertices) +
                                          " vertices");
        placements.push_back({part, mesh, transform});
    }

    ModelParts& parts_;
    const PlacementLimits& limits_;
    std::vector<std::pair<std::size_t, std::uint32_t>> open_; // objects being placed
    std::size_t visits_ = 0;
    std::uint64_t vertices_ = 0;
};

} // namespace

ModelParts::ModelParts(ThreeMFXMLParser::ParseResult main, std::string mainPath, PartReader read)
    : read_(std::move(read)) {
    parts_.push_back(std::move(main));
    objectIndex_.emplace_back();
    if (auto key = normalPath(mainPath)) byPath_[*key] = 0;
}

std::optional<std::size_t> ModelParts::find(std::string_view path) {
    const std::optional<std::string> key = normalPath(path);
    if (!key) return std::nullopt;
    auto [it, inserted] = byPath_.try_emplace(*key);
    if (!inserted) return it->second;
    if (std::optional<std::vector<std::uint8_t>> bytes = read_(*key)) {
        parts_.push_back(ThreeMFXMLParser(*bytes).parse());
        objectIndex_.emplace_back();
        it->second = parts_.size() - 1;
    }
    return it->second;
}

std::optional<std::size_t> ModelParts::object(std::size_t part, std::uint32_t id) {
    const std::vector<ThreeMFXMLParser::Object>& objects = parts_[part].objects;
    std::map<std::uint32_t, std::size_t>& index = objectIndex_[part];
    if (index.empty())
        for (std::size_t i = 0; i < objects.size(); ++i) index.try_emplace(objects[i].id, i);
    auto it = index.find(id);
    if (it == index.end()) return std::nullopt;
    return it->second;
}

std::vector<Placement> placeBuild(ModelParts& parts, const PlacementLimits& limits) {
    Walk walk(parts, limits);
    // Copied: reading another part may move the main part's lists around.
    const std::vector<ThreeMFXMLParser::Reference> items = parts.part(0).items;
    for (const ThreeMFXMLParser::Reference& item : items)
        if (auto part = walk.partOf(0, item)) walk.place(*part, item.objectId, item.transform, 1);
    return std::move(walk.placements);
}

} // namespace trimeo::threemf
