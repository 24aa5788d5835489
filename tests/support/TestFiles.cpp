#include "TestFiles.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

namespace trimeo::test {
namespace fs = std::filesystem;

fs::path assimpModels() { return TRIMEO_ASSIMP_MODELS; }
fs::path sharedFixtures() { return TRIMEO_FIXTURES; }

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::string> temporaryDirectoryEntries() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::temp_directory_path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int failIfTemporaryFilesLeft(int status) {
    auto left = temporaryDirectoryEntries();
    if (left.empty()) return status;
    std::cerr << "Temporary files left behind:";
    for (const auto& name : left) std::cerr << ' ' << name;
    std::cerr << '\n';
    return 1;
}

} // namespace trimeo::test
