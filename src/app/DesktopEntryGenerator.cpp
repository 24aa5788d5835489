// Build step: writes the desktop entry, the MIME package and the thumbnailer entry to the
// three files named.
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
    if (argc != 4) {
        std::cerr << "usage: trimeo_desktop_entry DESKTOP_FILE MIME_FILE THUMBNAILER_FILE\n";
        return 2;
    }
    return write(argv[1], trimeo::desktopEntry()) && write(argv[2], trimeo::mimeInfo()) &&
                   write(argv[3], trimeo::thumbnailerEntry())
               ? 0
               : 1;
}
