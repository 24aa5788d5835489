#include "FolderBrowsing.h"

#include "FormatTable.h"
#include "ModelLoader.h"

#include <algorithm>
#include <system_error>

namespace trimeo {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// -1, 0 or 1 in natural order, ignoring case.
int naturalCompare(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && isDigit(a[ie])) ++ie;
            while (je < b.size() && isDigit(b[je])) ++je;
            // Compared as digit strings without leading zeros: no overflow on long runs.
            std::size_t is = i, js = j;
            while (is + 1 < ie && a[is] == '0') ++is;
            while (js + 1 < je && b[js] == '0') ++js;
            if (ie - is != je - js) return ie - is < je - js ? -1 : 1;
            if (int c = a.substr(is, ie - is).compare(b.substr(js, je - js)); c) return c < 0 ? -1 : 1;
            i = ie;
            j = je;
        } else {
            const char ca = asciiLower(a[i]), cb = asciiLower(b[j]);
            if (ca != cb) return (unsigned char)ca < (unsigned char)cb ? -1 : 1;
            ++i;
            ++j;
        }
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool isModelFile(const std::filesystem::path& path) {
    const FormatRow* row = formatFor(ModelLoader::fileExtension(path));
    return row && !row->identifier.empty() && row->route != Route::vdb;
}

} // namespace

bool naturalLess(std::string_view a, std::string_view b) {
    if (int c = naturalCompare(a, b)) return c < 0;
    return a < b;
}

std::vector<std::filesystem::path> modelFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && isModelFile(it->path())) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return naturalLess(a.filename().string(), b.filename().string());
    });
    return files;
}

std::optional<std::filesystem::path> neighbourModelFile(const std::filesystem::path& current, int step) {
    std::vector<std::filesystem::path> files = modelFilesIn(current.parent_path());
    const std::string name = current.filename().string();
    std::erase_if(files, [&](const auto& f) { return f.filename().string() == name; });
    if (files.empty() || step == 0) return std::nullopt;
    // Where the current name stands among the others.
    const auto at = std::partition_point(files.begin(), files.end(), [&](const auto& f) {
        return naturalLess(f.filename().string(), name);
    });
    const auto n = static_cast<long>(files.size());
    const long before = at - files.begin(); // files.at(before) is the first one after current
    long index = step > 0 ? before + (step - 1) : before + step;
    index = ((index % n) + n) % n;
    return files[std::size_t(index)];
}

} // namespace trimeo
