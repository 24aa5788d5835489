// Composes stages across layers on disk: the input, cut at each "#--" line into layers,
// is written under every name the seeds' arcs use (a layer may name itself, another, one
// in a subfolder or in the folders above, a crate or a package name, or one that is
// missing), then the first is loaded through the related-file resolver as text, crate and
// package. The model sits three folders down, so every folder its layers may climb to is
// the fuzzer's own. A failed load is a
// proper refusal; anything escaping, a crash, a hang or a sanitizer report is a bug.
#include "formats/common/RelatedFiles.h"
#include "formats/usd/UsdReader.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kNames[] = {"a.usda", "b.usda", "sub/c.usda", "d.usdc", "e.usdz", "f.usd",
                                  "_stage.usda", "_children/_child_stage.usda", "sub/_stage.usda",
                                  "../_parent_stage.usda", "../../../_common/axis.usda"};

const fs::path& top() {
    static const fs::path path = fs::temp_directory_path() / ("trimeo-usd-composition-fuzz-" + std::to_string(::getpid()));
    return path;
}

const fs::path& folder() {
    static const fs::path path = [] {
        fs::path p = top() / "x" / "y" / "model";
        fs::create_directories(p / "sub");
        fs::create_directories(p / "_children");
        fs::create_directories(top() / "_common");
        std::atexit([] { fs::remove_all(top()); });
        return p;
    }();
    return path;
}

std::vector<std::string_view> layers(std::string_view input) {
    std::vector<std::string_view> out;
    for (;;) {
        const auto cut = input.find("\n#--\n");
        out.push_back(input.substr(0, cut));
        if (cut == std::string_view::npos) return out;
        input.remove_prefix(cut + 5);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = layers({reinterpret_cast<const char*>(data), size});
    std::size_t i = 0;
    for (const char* name : kNames) {
        const auto part = parts[i++ % parts.size()];
        std::ofstream(folder() / name, std::ios::binary).write(part.data(), std::streamsize(part.size()));
    }
    for (const char* model : {"a.usda", "d.usdc", "e.usdz"}) {
        const auto first = parts.front();
        trimeo::RelatedFiles related(folder() / model,
                                     trimeo::RelatedFiles::Limits{std::uint64_t(1) << 24, std::uint64_t(1) << 26, 64});
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(first.data()), first.size());
        try {
            trimeo::usd::readUsd({bytes, fs::path(model).extension().string().substr(1), related});
        } catch (const trimeo::LoaderError&) {
        }
    }
    return 0;
}
