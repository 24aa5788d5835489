// Whole 3MF packages through the importer: no crash, only the importer's own errors, and
// nothing left in (or written beside) the temporary directory after any input.
#include "formats/threemf/ThreeMFParser.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
namespace fs = std::filesystem;

// The importer's temporary directory sits a few levels down a private tree, so that an
// entry escaping upwards would show as a stray file anywhere in the tree.
fs::path root;
fs::path temporaryDirectory;

bool treeIsUntouched() {
    std::size_t entries = 0;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        (void)e;
        ++entries;
    }
    return entries == 4 && fs::is_empty(temporaryDirectory);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "trimeo-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    root = pattern;
    temporaryDirectory = root / "1" / "2" / "3" / "tmp";
    fs::create_directories(temporaryDirectory);
    setenv("TMPDIR", temporaryDirectory.c_str(), 1);
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(root, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        trimeo::ThreeMFParser().parse({data, size});
    } catch (const trimeo::LoaderError&) {
    } catch (const trimeo::PlatformError&) {
    }
    if (!treeIsUntouched()) __builtin_trap();
    return 0;
}
