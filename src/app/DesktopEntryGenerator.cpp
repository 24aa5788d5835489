// Build step: writes the desktop entry and the MIME package to the two files named.
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
    if (argc != 3) {
        std::cerr << "usage: trimeo_desktop_entry DESKTOP_FILE MIME_FILE\n";
        return 2;
    }
    return write(argv[1], trimeo::desktopEntry()) && write(argv[2], trimeo::mimeInfo()) ? 0 : 1;
}
