#include "ModelUnit.h"

#include "scene/LengthUnit.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace trimeo::threemf {
namespace {

struct RootElement {
    XML_Parser parser = nullptr;
    bool seen = false;
    std::optional<double> metersPerUnit;
};

// Compared lower-cased and unprefixed, as the mesh reader compares its element names.
bool isModel(std::string_view name) {
    if (name.size() != 5) return false;
    for (std::size_t i = 0; i < 5; ++i)
        if ((name[i] | 0x20) != "model"[i]) return false;
    return true;
}

void onStart(void* data, const char* name, const char** attributes) {
    auto* root = static_cast<RootElement*>(data);
    root->seen = true;
    XML_StopParser(root->parser, XML_FALSE);
    if (!isModel(name)) return;
    const scene::LengthUnit* unit = scene::lengthUnitNamed("millimeter");
    for (const char** a = attributes; a[0] && a[1]; a += 2)
        if (std::strcmp(a[0], "unit") == 0) unit = scene::lengthUnitNamed(a[1]);
    if (unit) root->metersPerUnit = unit->meters;
}

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

} // namespace

std::optional<double> modelMetersPerUnit(std::span<const std::uint8_t> modelPart) {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) return std::nullopt;
    RootElement root;
    root.parser = parser.get();
    XML_SetUserData(parser.get(), &root);
    XML_SetStartElementHandler(parser.get(), &onStart);
    // The root start tag sits in the first bytes; a part that has not opened it within a
    // mebibyte is not a model anyone wrote.
    constexpr std::size_t kPiece = 64 * 1024, kMost = 1024 * 1024;
    const std::size_t end = std::min(modelPart.size(), kMost);
    for (std::size_t offset = 0; offset < end && !root.seen; offset += kPiece) {
        const std::size_t length = std::min(kPiece, end - offset);
        const char* bytes = reinterpret_cast<const char*>(modelPart.data()) + offset;
        if (XML_Parse(parser.get(), bytes, int(length), offset + length == modelPart.size()) == XML_STATUS_ERROR)
            break;
    }
    return root.metersPerUnit;
}

} // namespace trimeo::threemf
