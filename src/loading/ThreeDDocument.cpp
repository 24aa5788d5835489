#include "ThreeDDocument.h"

#include "FormatTable.h"

namespace trimeo {

std::vector<ContentType> ThreeDDocument::readableContentTypes() {
    std::vector<ContentType> types;
    for (const FormatRow& row : formatTable()) {
        if (row.identifier.empty()) continue;
        types.push_back({std::string(row.identifier), std::string(row.description),
                         {row.extensions.begin(), row.extensions.end()}, std::string(row.mimeType)});
    }
    return types;
}

} // namespace trimeo
