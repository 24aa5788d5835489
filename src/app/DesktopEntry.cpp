#include "DesktopEntry.h"

#include "loading/FormatTable.h"
#include "loading/ThreeDDocument.h"

#include <set>

namespace trimeo {

namespace {
std::string xmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}
} // namespace

std::string desktopEntry() {
    std::string mimeTypes;
    for (const ContentType& type : ThreeDDocument::readableContentTypes()) mimeTypes += type.mimeType + ';';
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Trimeo\n"
           "GenericName=3D Model Viewer\n"
           "Comment=View 3D model files\n"
           "Exec=trimeo %F\n"
           "Icon=trimeo\n"
           "Terminal=false\n"
           "Categories=Graphics;3DGraphics;Viewer;\n"
           "MimeType=" +
           mimeTypes + "\n";
}

std::string mimeInfo() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const ContentType& type : ThreeDDocument::readableContentTypes()) {
        xml += "  <mime-type type=\"" + xmlEscaped(type.mimeType) + "\">\n";
        xml += "    <comment>" + xmlEscaped(type.description) + "</comment>\n";
        for (const std::string& extension : type.extensions)
            xml += "    <glob pattern=\"*." + xmlEscaped(extension) + "\"/>\n";
        xml += "  </mime-type>\n";
    }
    return xml + "</mime-info>\n";
}

std::string thumbnailerEntry() {
    std::string mimeTypes;
    std::set<std::string_view> listed;
    for (const FormatRow& row : formatTable())
        if (!row.mimeType.empty() && row.route != Route::vdb && listed.insert(row.mimeType).second)
            mimeTypes += std::string(row.mimeType) + ';';
    return "[Thumbnailer Entry]\n"
           "TryExec=trimeo\n"
           "Exec=trimeo --thumbnail %i %o %s\n"
           "MimeType=" +
           mimeTypes + "\n";
}

} // namespace trimeo
