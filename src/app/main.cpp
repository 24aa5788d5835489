// Entry point: `--info FILE` needs no display; everything else starts the viewer.
#include "InfoCommand.h"
#ifdef TRIMEO_WITH_QT
#include "TrimeoApp.h"
#include "viewport/RenderCommand.h"
#endif

#include <cstring>
#include <iostream>

namespace {
void printUsage() {
    std::cerr << "usage: trimeo [FILE]\n"
                 "       trimeo --info FILE\n"
                 "       trimeo --render OUT.png [--size WxH] [--wireframe] [--timings] FILE\n";
}
} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--info") == 0) {
        if (argc != 3) {
            printUsage();
            return 2;
        }
        return trimeo::runInfoCommand(argv[2]);
    }
#ifdef TRIMEO_WITH_QT
    if (argc >= 2 && std::strcmp(argv[1], "--render") == 0) return trimeo::runRenderCommand(argc, argv);
    return trimeo::TrimeoApp::run(argc, argv);
#else
    printUsage();
    return 2;
#endif
}
