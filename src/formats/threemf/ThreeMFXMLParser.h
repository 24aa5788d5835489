// Reads one 3MF model part (an XML document) into triangle meshes and the model-file paths
// its component elements name, and into the objects, components and build items that
// place those meshes. Lenient: it never throws and reports no error; what it
// cannot read it skips, and a document that breaks off keeps the meshes completed before
// the break. Names are taken as written, with no namespace processing ("m:mesh" is not
// "mesh"). The plain reader (PlainXMLReader.h) reads what it can; any other document is
// read again from the start with expat, which gives the same events where both read.
#pragma once

#include "AffineTransform.h"
#include "ArrivingDocument.h"
#include "scene/Vector3.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trimeo {

class ThreeMFXMLParser {
public:
    struct Mesh {
        // x, y, z per vertex exactly as read: a flat list the scene geometry takes over as is.
        std::vector<float> vertices;
        // Three vertex indices per triangle, in document order. Not checked against the
        // vertex count: any index may lie at or beyond it.
        std::vector<std::uint32_t> triangles;

        std::size_t vertexCount() const { return vertices.size() / 3; }
        scene::Vector3 vertex(std::size_t i) const { return {vertices[3 * i], vertices[3 * i + 1], vertices[3 * i + 2]}; }
    };

    // A build item or a component: the object it places, where that object is defined, and
    // how it is moved there. Dropped whole when its object id or its transform is invalid.
    struct Reference {
        std::uint32_t objectId = 0;
        std::string path; // the production extension's model path as written; empty: this part
        threemf::AffineTransform transform;
    };

    // An object element with a valid id: its mesh (an index into `meshes`), if one was
    // completed inside it, and the components inside it, in document order.
    struct Object {
        std::uint32_t id = 0;
        std::optional<std::size_t> mesh;
        std::vector<Reference> components;
    };

    struct ParseResult {
        std::vector<Mesh> meshes;               // in the order their mesh elements end
        std::vector<std::string> componentPaths; // as written, in document order
        std::vector<Object> objects;            // in document order
        std::vector<Reference> items;           // item elements inside a build element
    };

    // `data` is not copied: it must stay alive until parse() returns.
    explicit ThreeMFXMLParser(std::span<const std::uint8_t> data) : data(data) {}
    ThreeMFXMLParser(const ThreeMFXMLParser&) = delete;
    ThreeMFXMLParser& operator=(const ThreeMFXMLParser&) = delete;

    ParseResult parse();

    // Parses with expat alone: the reference the plain reader is held to.
    ParseResult parseWithExpat();

    // Reads a document while it arrives, with the plain reader only: no value when that
    // declines it or the document is abandoned (then parse the finished bytes).
    static std::optional<ParseResult> parseArriving(const threemf::ArrivingDocument& document);

private:
    std::span<const std::uint8_t> data;
};

} // namespace trimeo
