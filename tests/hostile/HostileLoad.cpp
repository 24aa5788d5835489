// hostile_load FILE: opens one file as the application does (ModelFile) and loads it through
// ModelLoader::load, named as the file is, and
// prints what came of it. Exit 0 for a model or a proper refusal (LoaderError,
// PlatformError); 1 when anything else escapes. The test runs one process per file, so
// that the peak memory the kernel reports for it belongs to that file alone.
#include "loading/ModelFile.h"
#include "loading/ModelLoader.h"
#include "support/TestFiles.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: hostile_load FILE\n";
        return 2;
    }
    const std::filesystem::path path = argv[1];
    try {
        const auto file = trimeo::ModelFile::open(path);
        auto result = trimeo::ModelLoader::load(file.bytes(), path);
        std::size_t nodes = 0;
        result.scene->rootNode->enumerateChildNodes([&](const auto&) { ++nodes; });
        std::cout << "model: " << nodes << " nodes\n";
        return 0;
    } catch (const trimeo::LoaderError& e) {
        std::cout << "error: " << e.errorDescription() << '\n';
        return 0;
    } catch (const trimeo::PlatformError& e) {
        std::cout << "error: " << e.what() << '\n';
        return 0;
    } catch (const std::exception& e) {
        std::cout << "escaped: " << e.what() << '\n';
        return 1;
    }
}
