// The file types the viewer offers to open, in the order the open dialog lists them.
#pragma once

#include <string>
#include <vector>

namespace trimeo {

struct ContentType {
    std::string identifier;              // e.g. "org.khronos.gltf"
    std::string description;             // e.g. "glTF"
    std::vector<std::string> extensions; // lower case, without the dot
    std::string mimeType;
    friend bool operator==(const ContentType&, const ContentType&) = default;
};

struct ThreeDDocument {
    // A fresh list of 14 entries on every call, from the format table.
    static std::vector<ContentType> readableContentTypes();
};

} // namespace trimeo
