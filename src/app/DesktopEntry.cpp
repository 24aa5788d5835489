#include "DesktopEntry.h"

#include "loading/ThreeDDocument.h"

namespace trimeo {

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

} // namespace trimeo
