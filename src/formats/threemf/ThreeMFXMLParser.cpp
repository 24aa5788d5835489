#include "ThreeMFXMLParser.h"

#include "ExpatXMLReader.h"
#include "NumberParsing.h"
#include "PlainXMLReader.h"

#include <string_view>

namespace trimeo {
namespace {
using threemf::XMLAttribute;
using Attributes = std::span<const XMLAttribute>;

// Element names compare lower-cased. ASCII folding is enough: no other character
// lower-cases to a letter of the names the reader knows.
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool isNamed(std::string_view name, std::string_view lowerName) {
    if (name.size() != lowerName.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (asciiLower(name[i]) != lowerName[i]) return false;
    return true;
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

// The model path of a component or item: the first attribute whose name holds "path" and
// whose value names a model part.
const XMLAttribute* modelPath(Attributes attributes) {
    for (const XMLAttribute& a : attributes)
        if (lowerContains(a.name, "path") && a.value.ends_with(".model")) return &a;
    return nullptr;
}

std::optional<ThreeMFXMLParser::Reference> readReference(Attributes attributes) {
    ThreeMFXMLParser::Reference reference;
    bool hasObject = false;
    for (const XMLAttribute& a : attributes) {
        if (a.name == "objectid") {
            const auto id = threemf::parseUInt32Attribute(a.value);
            if (!id) return std::nullopt;
            reference.objectId = *id;
            hasObject = true;
        } else if (a.name == "transform") {
            const auto transform = threemf::parseTransform(a.value);
            if (!transform) return std::nullopt;
            reference.transform = *transform;
        }
    }
    if (!hasObject) return std::nullopt;
    if (const XMLAttribute* path = modelPath(attributes)) reference.path = path->value;
    return reference;
}

// The reader's rules over the element events of one document.
class ModelEvents final : public threemf::XMLEventHandler {
public:
    void startElement(std::string_view name, Attributes attributes) override {
        if (isNamed(name, "mesh")) currentMesh_.emplace(); // an unfinished builder is dropped
        else if (isNamed(name, "vertices")) inVertices_ = true;
        else if (isNamed(name, "triangles")) inTriangles_ = true;
        else if (isNamed(name, "vertex")) readVertex(attributes);
        else if (isNamed(name, "triangle")) readTriangle(attributes);
        else if (isNamed(name, "component")) readComponent(attributes);
        else if (isNamed(name, "object")) readObject(attributes);
        else if (isNamed(name, "build")) inBuild_ = true;
        else if (isNamed(name, "item")) readItem(attributes);
    }

    void endElement(std::string_view name) override {
        if (isNamed(name, "mesh")) {
            if (currentMesh_ && !currentMesh_->vertices.empty()) {
                if (inObject_) result_.objects.back().mesh = result_.meshes.size();
                result_.meshes.push_back(std::move(*currentMesh_));
            }
            currentMesh_.reset();
        } else if (isNamed(name, "vertices")) {
            inVertices_ = false;
        } else if (isNamed(name, "triangles")) {
            inTriangles_ = false;
        } else if (isNamed(name, "object")) {
            inObject_ = false;
        } else if (isNamed(name, "build")) {
            inBuild_ = false;
        }
    }

    ThreeMFXMLParser::ParseResult take() { return std::move(result_); }

private:
    void readVertex(Attributes attributes) {
        if (!inVertices_ || !currentMesh_) return;
        std::optional<float> x, y, z;
        for (const XMLAttribute& a : attributes) {
            if (a.name.size() != 1) continue;
            switch (a.name[0]) {
            case 'x': x = threemf::parseFloatAttribute(a.value); break;
            case 'y': y = threemf::parseFloatAttribute(a.value); break;
            case 'z': z = threemf::parseFloatAttribute(a.value); break;
            default: break;
            }
        }
        if (!x || !y || !z) return;
        currentMesh_->vertices.insert(currentMesh_->vertices.end(), {*x, *y, *z});
    }

    void readTriangle(Attributes attributes) {
        if (!inTriangles_ || !currentMesh_) return;
        std::optional<std::uint32_t> v[3];
        for (const XMLAttribute& a : attributes) {
            if (a.name.size() != 2 || a.name[0] != 'v' || a.name[1] < '1' || a.name[1] > '3') continue;
            v[a.name[1] - '1'] = threemf::parseUInt32Attribute(a.value);
        }
        if (!v[0] || !v[1] || !v[2]) return;
        currentMesh_->triangles.insert(currentMesh_->triangles.end(), {*v[0], *v[1], *v[2]});
    }

    void readComponent(Attributes attributes) {
        if (const XMLAttribute* path = modelPath(attributes)) result_.componentPaths.emplace_back(path->value);
        if (!inObject_) return;
        if (auto reference = readReference(attributes))
            result_.objects.back().components.push_back(std::move(*reference));
    }

    void readObject(Attributes attributes) {
        inObject_ = false; // a nested object ends the one around it
        for (const XMLAttribute& a : attributes)
            if (a.name == "id") {
                const auto id = threemf::parseUInt32Attribute(a.value);
                if (!id) return;
                result_.objects.push_back({*id, std::nullopt, {}});
                inObject_ = true;
                return;
            }
    }

    void readItem(Attributes attributes) {
        if (!inBuild_) return;
        if (auto reference = readReference(attributes)) result_.items.push_back(std::move(*reference));
    }

    ThreeMFXMLParser::ParseResult result_;
    std::optional<ThreeMFXMLParser::Mesh> currentMesh_; // between a mesh start tag and its end tag
    bool inVertices_ = false;
    bool inTriangles_ = false;
    bool inObject_ = false; // inside an object element with a valid id: objects.back()
    bool inBuild_ = false;
};

} // namespace

ThreeMFXMLParser::ParseResult ThreeMFXMLParser::parse() {
    ModelEvents events;
    if (threemf::readPlainXML(data, events)) return events.take();
    return parseWithExpat();
}

std::optional<ThreeMFXMLParser::ParseResult>
ThreeMFXMLParser::parseArriving(const threemf::ArrivingDocument& document) {
    ModelEvents events;
    if (threemf::readPlainXML(document, events)) return events.take();
    return std::nullopt;
}

ThreeMFXMLParser::ParseResult ThreeMFXMLParser::parseWithExpat() {
    ModelEvents events;
    threemf::readXMLWithExpat(data, events); // a fault keeps what was completed before it
    return events.take();
}

} // namespace trimeo
