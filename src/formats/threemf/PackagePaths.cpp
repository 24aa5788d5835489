#include "PackagePaths.h"

#include "formats/common/LoaderError.h"
#include "formats/common/MemoryBudget.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trimeo::threemf {

std::optional<std::vector<std::string>> splitPackagePath(std::string_view path) {
    if (path.size() > kMaxPackagePathBytes) return std::nullopt;
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view component = path.substr(start, slash - start);
        if (component == "..") return std::nullopt;
        if (component.size() > 255) return std::nullopt;
        if (!component.empty() && component != ".") components.emplace_back(component);
        start = slash + 1;
    }
    return components;
}

std::optional<std::filesystem::path> resolveInside(const std::filesystem::path& base, std::string_view path) {
    auto components = splitPackagePath(path);
    if (!components || components->empty()) return std::nullopt;
    std::filesystem::path resolved = base;
    for (const std::string& c : *components) resolved /= c; // never absolute: no component holds '/'
    return resolved;
}

namespace {
[[noreturn]] void throwReadError(const std::filesystem::path& path, int error) {
    throw PlatformError("Cannot read file " + path.string() + ": " + std::strerror(error));
}
} // namespace

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) throwReadError(path, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0) throwReadError(path, errno);
    if (!S_ISREG(st.st_mode)) throwReadError(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);

    // The size only sizes the first allocation; the loop reads what is really there.
    std::vector<std::uint8_t> bytes;
    requireMemory(std::uint64_t(st.st_size));
    bytes.reserve(std::size_t(st.st_size));
    std::uint8_t chunk[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            throwReadError(path, errno);
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

} // namespace trimeo::threemf
