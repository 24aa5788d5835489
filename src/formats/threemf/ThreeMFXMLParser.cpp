#include "ThreeMFXMLParser.h"

#include "NumberParsing.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string_view>

namespace trimeo {
namespace {

// Element names compare lower-cased. ASCII folding is enough: no other character
// lower-cases to a letter of the names the reader knows.
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool isNamed(const char* name, std::string_view lowerName) {
    for (char expected : lowerName) {
        if (*name == '\0' || asciiLower(*name) != expected) return false;
        ++name;
    }
    return *name == '\0';
}

bool lowerContains(std::string_view text, std::string_view lowerNeedle) {
    if (text.size() < lowerNeedle.size()) return false;
    for (std::size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < lowerNeedle.size() && asciiLower(text[i + k]) == lowerNeedle[k]) ++k;
        if (k == lowerNeedle.size()) return true;
    }
    return false;
}

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

} // namespace

ThreeMFXMLParser::ParseResult ThreeMFXMLParser::parse() {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(XML_ParserCreate(nullptr));
    if (parser) {
        XML_SetUserData(parser.get(), this);
        XML_SetElementHandler(parser.get(), &ThreeMFXMLParser::onStartElement, &ThreeMFXMLParser::onEndElement);
        // expat takes an int length: feed larger documents in pieces.
        constexpr std::size_t kPiece = std::size_t(1) << 30;
        std::size_t offset = 0;
        do {
            const std::size_t length = std::min(kPiece, data.size() - offset);
            const bool last = offset + length == data.size();
            const char* bytes = reinterpret_cast<const char*>(data.data()) + offset;
            // A fault stops the reader; what was completed before it stays.
            if (XML_Parse(parser.get(), bytes, int(length), last) != XML_STATUS_OK) break;
            offset += length;
        } while (offset < data.size());
    }
    return {std::move(meshes), std::move(componentPaths), std::move(objects), std::move(items)};
}

void ThreeMFXMLParser::onStartElement(void* self, const char* name, const char** attributes) {
    static_cast<ThreeMFXMLParser*>(self)->startElement(name, attributes);
}

void ThreeMFXMLParser::onEndElement(void* self, const char* name) {
    static_cast<ThreeMFXMLParser*>(self)->endElement(name);
}

void ThreeMFXMLParser::startElement(const char* name, const char** attributes) {
    if (isNamed(name, "mesh")) currentMesh.emplace(); // an unfinished builder is dropped
    else if (isNamed(name, "vertices")) inVertices = true;
    else if (isNamed(name, "triangles")) inTriangles = true;
    else if (isNamed(name, "vertex")) readVertex(attributes);
    else if (isNamed(name, "triangle")) readTriangle(attributes);
    else if (isNamed(name, "component")) readComponent(attributes);
    else if (isNamed(name, "object")) readObject(attributes);
    else if (isNamed(name, "build")) inBuild = true;
    else if (isNamed(name, "item")) readItem(attributes);
}

void ThreeMFXMLParser::endElement(const char* name) {
    if (isNamed(name, "mesh")) {
        if (currentMesh && !currentMesh->vertices.empty()) {
            if (inObject) objects.back().mesh = meshes.size();
            meshes.push_back({std::move(currentMesh->vertices), std::move(currentMesh->triangles)});
        }
        currentMesh.reset();
    } else if (isNamed(name, "vertices")) {
        inVertices = false;
    } else if (isNamed(name, "triangles")) {
        inTriangles = false;
    } else if (isNamed(name, "object")) {
        inObject = false;
    } else if (isNamed(name, "build")) {
        inBuild = false;
    }
}

void ThreeMFXMLParser::readVertex(const char** attributes) {
    if (!inVertices || !currentMesh) return;
    std::optional<float> x, y, z;
    for (const char** a = attributes; a[0]; a += 2) {
        const char* key = a[0];
        if (key[0] == '\0' || key[1] != '\0') continue;
        switch (key[0]) {
        case 'x': x = threemf::parseFloatAttribute(a[1]); break;
        case 'y': y = threemf::parseFloatAttribute(a[1]); break;
        case 'z': z = threemf::parseFloatAttribute(a[1]); break;
        default: break;
        }
    }
    if (!x || !y || !z) return;
    currentMesh->vertices.insert(currentMesh->vertices.end(), {*x, *y, *z});
}

void ThreeMFXMLParser::readTriangle(const char** attributes) {
    if (!inTriangles || !currentMesh) return;
    std::optional<std::uint32_t> v[3];
    for (const char** a = attributes; a[0]; a += 2) {
        const char* key = a[0];
        if (key[0] != 'v' || key[1] < '1' || key[1] > '3' || key[2] != '\0') continue;
        v[key[1] - '1'] = threemf::parseUInt32Attribute(a[1]);
    }
    if (!v[0] || !v[1] || !v[2]) return;
    currentMesh->triangles.insert(currentMesh->triangles.end(), {*v[0], *v[1], *v[2]});
}

namespace {

// The model path of a component or item: the first attribute whose name holds "path" and
// whose value names a model part.
const char* modelPath(const char** attributes) {
    for (const char** a = attributes; a[0]; a += 2)
        if (lowerContains(a[0], "path") && std::string_view(a[1]).ends_with(".model")) return a[1];
    return nullptr;
}

std::optional<ThreeMFXMLParser::Reference> readReference(const char** attributes) {
    ThreeMFXMLParser::Reference reference;
    bool hasObject = false;
    for (const char** a = attributes; a[0]; a += 2) {
        const std::string_view key = a[0];
        if (key == "objectid") {
            const auto id = threemf::parseUInt32Attribute(a[1]);
            if (!id) return std::nullopt;
            reference.objectId = *id;
            hasObject = true;
        } else if (key == "transform") {
            const auto transform = threemf::parseTransform(a[1]);
            if (!transform) return std::nullopt;
            reference.transform = *transform;
        }
    }
    if (!hasObject) return std::nullopt;
    if (const char* path = modelPath(attributes)) reference.path = path;
    return reference;
}

} // namespace

void ThreeMFXMLParser::readComponent(const char** attributes) {
    if (const char* path = modelPath(attributes)) componentPaths.emplace_back(path);
    if (!inObject) return;
    if (auto reference = readReference(attributes)) objects.back().components.push_back(std::move(*reference));
}

void ThreeMFXMLParser::readObject(const char** attributes) {
    inObject = false; // a nested object ends the one around it
    for (const char** a = attributes; a[0]; a += 2)
        if (std::string_view(a[0]) == "id") {
            const auto id = threemf::parseUInt32Attribute(a[1]);
            if (!id) return;
            objects.push_back({*id, std::nullopt, {}});
            inObject = true;
            return;
        }
}

void ThreeMFXMLParser::readItem(const char** attributes) {
    if (!inBuild) return;
    if (auto reference = readReference(attributes)) items.push_back(std::move(*reference));
}

} // namespace trimeo
