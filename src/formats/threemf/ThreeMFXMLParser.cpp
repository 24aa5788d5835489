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
    return {std::move(meshes), std::move(componentPaths)};
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
}

void ThreeMFXMLParser::endElement(const char* name) {
    if (isNamed(name, "mesh")) {
        if (currentMesh && !currentMesh->vertices.empty())
            meshes.push_back({std::move(currentMesh->vertices), std::move(currentMesh->triangles)});
        currentMesh.reset();
    } else if (isNamed(name, "vertices")) {
        inVertices = false;
    } else if (isNamed(name, "triangles")) {
        inTriangles = false;
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

void ThreeMFXMLParser::readComponent(const char** attributes) {
    for (const char** a = attributes; a[0]; a += 2) {
        std::string_view key = a[0], value = a[1];
        if (lowerContains(key, "path") && value.ends_with(".model")) {
            componentPaths.emplace_back(value);
            return;
        }
    }
}

} // namespace trimeo
