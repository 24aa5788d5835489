// Turns a 3MF main model part into the scene: one grey, physically based node "mesh_<i>"
// per mesh, directly under the root, in this order:
//  - when the main part's build section places at least one mesh (see BuildPlacement.h):
//    one node per placement, in placement order, its vertices moved by the placement's
//    transform (an object placed twice gives two nodes; placements without a transform
//    share one geometry);
//  - otherwise: the main part's meshes, then those of each model part its component
//    elements name, in list order (a part named twice is added twice), one level deep.
// Throws LoaderError::noGeometry when that gives no node, and what placeBuild throws.
#pragma once

#include "BuildPlacement.h"
#include "formats/common/ReaderResult.h"

#include <span>
#include <string>

namespace trimeo::threemf {

// The package path of the main model part.
inline constexpr const char* kMainModelPath = "3D/3dmodel.model";

// `read` gives the bytes of the other model parts, by package path.
ReaderResult assembleModel(std::span<const std::uint8_t> mainPart, const PartReader& read,
                           const PlacementLimits& limits = {});

// The same, from the main part already parsed.
ReaderResult assembleModel(ThreeMFXMLParser::ParseResult mainPart, const PartReader& read,
                           const PlacementLimits& limits = {});

} // namespace trimeo::threemf
