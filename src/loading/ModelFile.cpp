#include "ModelFile.h"

#include "ModelLoader.h"
#include "formats/common/FileMapping.h"
#include "formats/common/MemoryBudget.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace trimeo {
namespace {

constexpr std::uint64_t kPopulatedSize = std::uint64_t(256) << 20;

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

} // namespace

FileOpenError::FileOpenError(const std::filesystem::path& path, std::string reason)
    : PlatformError(path.string() + ": " + reason), reason_(std::move(reason)) {}

std::uint64_t decodedSizeEstimate(std::span<const std::uint8_t> bytes, const std::string& extension) {
    const std::uint64_t size = bytes.size();
    if (extension == "stl") {
        // Binary: 36 bytes of positions a facet. Text: a facet takes
        // well under 16 bytes of text per decoded byte.
        if (size >= 84) {
            std::uint32_t facets;
            std::memcpy(&facets, bytes.data() + 80, 4);
            if (84 + std::uint64_t(facets) * 50 == size) return std::uint64_t(facets) * 36;
        }
        return size / 16;
    }
    if (extension == "ply") {
        const std::string_view head(reinterpret_cast<const char*>(bytes.data()), std::min<std::size_t>(size, 4096));
        return head.find("format binary") != std::string_view::npos ? size / 2 : size / 16;
    }
    // Compressed XML decodes to more than the package's size.
    if (extension == "3mf" && startsWith(bytes, "PK")) return size;
    if (extension == "glb" || extension == "gltf") return size / 4;
    return size / 16;
}

ModelFile ModelFile::open(const std::filesystem::path& path) {
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) throw FileOpenError(path, std::strerror(errno));
    struct stat st{};
    if (::fstat(file.fd, &st) != 0) throw FileOpenError(path, std::strerror(errno));
    // A device such as /dev/zero would be read until memory runs out; a FIFO would block.
    if (S_ISDIR(st.st_mode)) throw FileOpenError(path, "Is a directory");
    if (!S_ISREG(st.st_mode)) throw FileOpenError(path, "Not a regular file");

    const std::uint64_t size = std::uint64_t(st.st_size);
    const std::string extension = ModelLoader::fileExtension(path);
    ModelFile model;
    if (size > 0 && size <= memoryRoom().addressSpace) {
        // Populated up front (one pass over the page cache instead of a fault per page) when
        // small; a big file is paged in as a reader gets to it, so that bytes that fail the
        // first checks are never read at all.
        const int populate = size <= kPopulatedSize ? MAP_POPULATE : 0;
        void* p = ::mmap(nullptr, std::size_t(size), PROT_READ, MAP_PRIVATE | populate, file.fd, 0);
        if (p != MAP_FAILED && !populate) ::madvise(p, std::size_t(size), MADV_SEQUENTIAL);
        if (p != MAP_FAILED) {
            model.mapped_ = static_cast<const std::uint8_t*>(p);
            model.size_ = std::size_t(size);
            registerFileMapping(model.bytes());
            requireMemory(decodedSizeEstimate(model.bytes(), extension)); // unmapped by the destructor
            return model;
        }
    }
    // Read instead: the bytes themselves take memory too. The estimate looks at the first
    // block only, which is all it reads of a file.
    std::uint8_t head[4096];
    const ssize_t headSize = ::pread(file.fd, head, sizeof head, 0);
    if (headSize < 0) throw FileOpenError(path, std::strerror(errno));
    const std::uint64_t estimate = size <= sizeof head ? decodedSizeEstimate({head, std::size_t(headSize)}, extension)
                                                       : size / 16;
    requireMemory(size + estimate);
    model.read_.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(file.fd, model.read_.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw FileOpenError(path, std::strerror(errno));
        if (n == 0) break; // shrank while being read
        done += std::size_t(n);
    }
    model.read_.resize(done);
    return model;
}

ModelFile::ModelFile(ModelFile&& other) noexcept
    : mapped_(std::exchange(other.mapped_, nullptr)), size_(std::exchange(other.size_, 0)),
      read_(std::move(other.read_)) {}

ModelFile::~ModelFile() {
    if (!mapped_) return;
    unregisterFileMapping(bytes());
    ::munmap(const_cast<std::uint8_t*>(mapped_), size_);
}

std::span<const std::uint8_t> ModelFile::bytes() const {
    return mapped_ ? std::span(mapped_, size_) : std::span<const std::uint8_t>(read_);
}

} // namespace trimeo
