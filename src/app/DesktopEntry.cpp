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
           "Keywords=3D;model;mesh;glTF;STL;OBJ;3MF;\n"
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

std::string appStreamMetainfo(const std::string& version, const std::string& date) {
    std::string mediaTypes;
    for (const ContentType& type : ThreeDDocument::readableContentTypes())
        mediaTypes += "    <mediatype>" + xmlEscaped(type.mimeType) + "</mediatype>\n";
    // The project has no home yet: its addresses use the reserved name the About panel uses.
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<component type=\"desktop-application\">\n"
           "  <id>" + std::string(kAppStreamId) + "</id>\n"
           "  <metadata_license>CC0-1.0</metadata_license>\n"
           "  <name>Trimeo</name>\n"
           "  <summary>View 3D model files</summary>\n"
           "  <developer_name>The Trimeo developers</developer_name>\n"
           "  <description>\n"
           "    <p>\n"
           "      Trimeo is a fast viewer for 3D model files. Open a file and the model appears framed\n"
           "      on a grid floor; orbit it, pan and zoom, switch to wireframe and play its animations.\n"
           "    </p>\n"
           "    <p>\n"
           "      It reads glTF and GLB, 3MF, STL, OBJ, PLY, COLLADA, USD, Alembic and FBX files, and\n"
           "      draws thumbnails of them for the file manager.\n"
           "    </p>\n"
           "  </description>\n"
           "  <launchable type=\"desktop-id\">trimeo.desktop</launchable>\n"
           "  <url type=\"homepage\">https://trimeo.example/</url>\n"
           "  <categories>\n"
           "    <category>Graphics</category>\n"
           "    <category>3DGraphics</category>\n"
           "    <category>Viewer</category>\n"
           "  </categories>\n"
           "  <screenshots>\n"
           "    <screenshot type=\"default\">\n"
           "      <caption>A model framed on the grid floor</caption>\n"
           "      <image>https://trimeo.example/screenshot.png</image>\n"
           "    </screenshot>\n"
           "  </screenshots>\n"
           "  <provides>\n"
           "    <binary>trimeo</binary>\n" +
           mediaTypes +
           "  </provides>\n"
           "  <content_rating type=\"oars-1.1\"/>\n"
           "  <releases>\n"
           "    <release version=\"" + xmlEscaped(version) + "\" date=\"" + xmlEscaped(date) + "\">\n"
           "      <description>\n"
           "        <p>First release: the viewer, thumbnails for the file manager and a Debian package.</p>\n"
           "      </description>\n"
           "    </release>\n"
           "  </releases>\n"
           "</component>\n";
}

} // namespace trimeo
