// Build step: writes the desktop entry to the file named by the one argument.
#include "DesktopEntry.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: trimeo_desktop_entry OUTPUT\n";
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << trimeo::desktopEntry();
    out.close();
    return out ? 0 : 1;
}
