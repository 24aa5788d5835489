// The one contract every format reader follows.
//
//   std::optional<ReaderResult> read<Format>(const ReaderInput& input);
//
// - A result: the scene the file holds (count = top-level objects with geometry; the asset
//   route reports 0 as "No geometry found in file", the importers throw noGeometry themselves).
// - A LoaderError (or PlatformError for a failure of the system underneath) whose text says
//   what is wrong with the bytes.
// - Nothing: only to hand the file on to the asset library, for layouts a reader of our own
//   leaves to it.
#pragma once

#include "LoaderError.h"
#include "scene/Animation.h"
#include "scene/Scene.h"

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>

namespace trimeo {

class RelatedFiles;

using AnimationMap = std::map<std::string, std::shared_ptr<const scene::Animation>>;

struct ReaderInput {
    std::span<const std::uint8_t> bytes; // the whole file
    std::string extension;               // lower case, without the dot
    RelatedFiles& related;               // files beside the model; resolves nothing without a location
};

struct ReaderResult {
    std::shared_ptr<scene::Scene> scene;
    std::size_t count = 0;   // top-level objects holding geometry
    AnimationMap animations; // keyed as the format's Part says; empty when none
};

} // namespace trimeo
