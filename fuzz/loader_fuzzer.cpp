// The whole loading path: the first byte picks the extension (every row of the dispatch
// table, an unknown one and none at all), the rest is the file. A LoaderError or
// PlatformError is a proper refusal; anything else escaping, a crash, a sanitizer report
// or a file left in the temporary directory is a bug.
#include "loading/ModelLoader.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace {

constexpr std::array<const char*, 17> kNames = {
    "m.stl", "m.obj", "m.ply", "m.usd", "m.usdz", "m.usda", "m.usdc", "m.abc", "m.dae",
    "m.scn", "m.gltf", "m.glb", "m.3mf", "m.fbx", "m.vdb", "m.xyz", nullptr};

std::filesystem::path gTemp;

} // namespace

// Loads get a temporary directory of their own, so that a leftover file is seen at once.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gTemp = std::filesystem::temp_directory_path() / ("trimeo-loader-fuzz-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(gTemp);
    setenv("TMPDIR", gTemp.c_str(), 1);
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(gTemp, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char* name = kNames[data[0] % kNames.size()];
    std::optional<std::filesystem::path> url;
    if (name) url = std::filesystem::path("/models") / name;
    try {
        trimeo::ModelLoader::load({data + 1, size - 1}, url);
    } catch (const trimeo::LoaderError&) {
    } catch (const trimeo::PlatformError&) {
    }
    if (!std::filesystem::is_empty(gTemp)) {
        std::fprintf(stderr, "a load of %s left files in %s\n", name ? name : "(no name)", gTemp.c_str());
        std::abort();
    }
    return 0;
}
