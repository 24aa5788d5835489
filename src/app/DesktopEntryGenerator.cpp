// Build step: writes the desktop entry, the MIME package, the thumbnailer entry and the
// AppStream metainfo to the four files named.
#include "DesktopEntry.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {
bool write(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: trimeo_desktop_entry DESKTOP_FILE MIME_FILE THUMBNAILER_FILE METAINFO_FILE\n";
        return 2;
    }
    return write(argv[1], trimeo::desktopEntry()) && write(argv[2], trimeo::mimeInfo()) &&
                   write(argv[3], trimeo::thumbnailerEntry()) &&
                   write(argv[4], trimeo::appStreamMetainfo(TRIMEO_VERSION, TRIMEO_RELEASE_DATE))
               ? 0
               : 1;
}
