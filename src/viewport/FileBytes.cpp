#include "FileBytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace trimeo {

std::optional<FileBytes> FileBytes::open(const std::filesystem::path& path) {
    FileBytes f;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st{};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        void* p = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p != MAP_FAILED) {
            f.mapped_ = static_cast<const std::uint8_t*>(p);
            f.size_ = std::size_t(st.st_size);
            ::close(fd);
            return f;
        }
    }
    std::uint8_t block[65536];
    for (ssize_t n; (n = ::read(fd, block, sizeof block)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        f.read_.insert(f.read_.end(), block, block + n);
    }
    ::close(fd);
    return f;
}

FileBytes::~FileBytes() {
    if (mapped_) ::munmap(const_cast<std::uint8_t*>(mapped_), size_);
}

} // namespace trimeo
