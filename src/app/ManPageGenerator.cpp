// Build step: `trimeo_man_page TRIMEO VERSION DATE OUT` runs `TRIMEO --help` and writes the
// manual page made from what it prints to OUT.
#include "ManPage.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: trimeo_man_page TRIMEO VERSION DATE OUT\n";
        return 2;
    }
    const std::string command = std::string("'") + argv[1] + "' --help";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return 1;
    std::string help;
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;) help.append(block, n);
    if (pclose(pipe) != 0 || help.find("Options:") == std::string::npos) {
        std::cerr << "trimeo_man_page: " << argv[1] << " --help printed no options\n";
        return 1;
    }
    std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
    out << trimeo::manPageFromHelp(help, argv[2], argv[3]);
    out.close();
    return out ? 0 : 1;
}
