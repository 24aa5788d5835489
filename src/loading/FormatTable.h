// Every format the viewer knows, in one table: its extensions, the route that reads it,
// the content type offered to the open dialog and the desktop, whether the model is turned
// z-up to y-up, and the reader of our own that reads it first. The dispatch, the open
// dialog's filters, readableContentTypes, the upright turn and the desktop entry's MIME list
// all come from here.
#pragma once

#include "formats/common/ReaderResult.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trimeo {

enum class Route { modelIO, sceneKit, gltf, threeMF, fbx, vdb, unsupported };

using Reader = std::optional<ReaderResult> (*)(const ReaderInput&);

struct FormatRow {
    std::vector<std::string_view> extensions; // lower case, without the dot
    Route route;
    std::string_view identifier;  // content type; empty for a format the dialog does not offer
    std::string_view description; // e.g. "glTF"
    std::string_view mimeType;
    bool upright = false; // stored z-up, shown y-up
    Reader reader = nullptr; // nothing: the route's own handling (asset library, messages)
};

// In the order the open dialog lists them.
std::span<const FormatRow> formatTable();

// The row holding the lower-cased extension; nothing when no row does.
const FormatRow* formatFor(std::string_view lowerCasedExtension);

} // namespace trimeo
