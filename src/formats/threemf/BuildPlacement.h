// What the build section of a 3MF main model part places: each item's object with the
// item's transform, objects built from components followed to any depth (in the same part,
// or through the production extension's model path in another part of the package) with
// their transforms composed. An object placed N times yields N placements.
//
// Lenient like the XML reader: an item or component naming an object that does not exist,
// a model part that cannot be read, a component that leads back into an object being
// placed (a cycle), or nesting deeper than PlacementLimits::maxDepth, is skipped. A build
// that would place more than the limits allow throws LoaderError::parseError with the limit
// passed, rather than show a part of it.
#pragma once

#include "AffineTransform.h"
#include "ThreeMFXMLParser.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trimeo::threemf {

struct PlacementLimits {
    std::size_t maxDepth = 64;              // components within components, the item's object being 1
    std::size_t maxVisits = 1000000;        // objects entered, each time one is reached
    std::size_t maxPlacements = 100000;     // meshes placed
    std::uint64_t maxPlacedVertices = std::uint64_t(1) << 26; // over all placements
};

// The bytes of a model part given its package path without a leading '/' ("3D/part.model"),
// or nothing when the part is missing or may not be read.
using PartReader = std::function<std::optional<std::vector<std::uint8_t>>(const std::string& path)>;

// The main part and every other model part a placement reached, each read and parsed once.
class ModelParts {
public:
    ModelParts(ThreeMFXMLParser::ParseResult main, std::string mainPath, PartReader read);

    // Index 0 is the main model file.
    ThreeMFXMLParser::ParseResult& part(std::size_t index) { return parts_[index]; }
    std::size_t size() const { return parts_.size(); }
    // The index of the part a model path names (as written in the document, leading '/' or
    // not), reading it on first use; nothing when it cannot be read.
    std::optional<std::size_t> find(std::string_view path);
    // The index in that part's objects of the object with this id; the first one when ids
    // repeat.
    std::optional<std::size_t> object(std::size_t part, std::uint32_t id);

private:
    std::vector<ThreeMFXMLParser::ParseResult> parts_;
    std::vector<std::map<std::uint32_t, std::size_t>> objectIndex_; // built on first use
    std::map<std::string, std::optional<std::size_t>> byPath_;
    PartReader read_;
};

struct Placement {
    std::size_t part = 0; // index in ModelParts
    std::size_t mesh = 0; // index in that part's meshes
    AffineTransform transform;
};

// The placements of the main part's build items, in build order, each item's components
// depth first in document order.
std::vector<Placement> placeBuild(ModelParts& parts, const PlacementLimits& limits = {});

} // namespace trimeo::threemf
