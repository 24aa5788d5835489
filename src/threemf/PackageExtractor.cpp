#include "PackageExtractor.h"

#include "PackagePaths.h"

#include <zip.h>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <memory>

namespace trimeo::threemf {
namespace {

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using EntryFile = std::unique_ptr<zip_file_t, EntryFileCloser>;

enum class EntryKind { file, directory, refused };

// The Unix mode in the upper half of the external attributes says what the entry is;
// archivers that leave it zero (DOS, Windows) mark directories by a trailing '/' only.
EntryKind entryKind(zip_t* archive, zip_uint64_t index, std::string_view name) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) != 0) return EntryKind::refused;
    const mode_t type = mode_t(attributes >> 16) & S_IFMT;
    if (type == S_IFDIR) return EntryKind::directory;
    if (type != 0 && type != S_IFREG) return EntryKind::refused; // links, devices, FIFOs, sockets
    return name.ends_with('/') ? EntryKind::directory : EntryKind::file;
}

// Opens (creating where needed) the directory `components[0, count)` below `root`, one
// component at a time and never through a symbolic link.
UniqueFd openDirectoryBelow(int root, const std::vector<std::string>& components, std::size_t count) {
    UniqueFd current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; i < count && current; ++i) {
        const char* name = components[i].c_str();
        if (::mkdirat(current.get(), name, 0755) != 0 && errno != EEXIST) return UniqueFd();
        current = UniqueFd(::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return current;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

enum class WriteOutcome { written, failed, overLimit };

// Unpacks one entry into `name` below `directory`, counting the bytes that really come
// out of the decompressor against `budget`. A failed entry leaves no file behind.
WriteOutcome writeEntry(zip_t* archive, zip_uint64_t index, int directory, const std::string& name,
                        std::uint64_t budget, std::vector<char>& buffer, std::uint64_t& written) {
    EntryFile entry(zip_fopen_index(archive, index, 0));
    if (!entry) return WriteOutcome::failed;
    UniqueFd out(::openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out) return WriteOutcome::failed;

    WriteOutcome outcome = WriteOutcome::written;
    written = 0;
    for (;;) {
        zip_int64_t n = zip_fread(entry.get(), buffer.data(), buffer.size());
        if (n < 0) {
            outcome = WriteOutcome::failed;
            break;
        }
        if (n == 0) break;
        written += std::uint64_t(n);
        if (written > budget) {
            outcome = WriteOutcome::overLimit;
            break;
        }
        if (!writeAll(out.get(), buffer.data(), std::size_t(n))) {
            outcome = WriteOutcome::failed;
            break;
        }
    }
    // Closing reports a checksum mismatch that the last read did not.
    if (outcome == WriteOutcome::written && zip_fclose(entry.release()) != 0) outcome = WriteOutcome::failed;
    if (outcome == WriteOutcome::written && ::close(out.release()) != 0) outcome = WriteOutcome::failed;
    if (outcome != WriteOutcome::written) ::unlinkat(directory, name.c_str(), 0);
    return outcome;
}

} // namespace

ExtractionReport extractPackage(const std::filesystem::path& archivePath, const std::filesystem::path& into,
                                const ExtractionLimits& limits) {
    ExtractionReport report;
    int openError = 0;
    Archive archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &openError));
    if (!archive) return report;
    report.openedArchive = true;

    UniqueFd root(::open(into.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!root) return report;

    std::vector<char> buffer(std::size_t(1) << 16);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const zip_uint64_t index = zip_uint64_t(i);
        if (index >= limits.maxEntries) {
            report.stoppedAtLimit = true;
            break;
        }
        const char* rawName = zip_get_name(archive.get(), index, ZIP_FL_ENC_GUESS);
        std::string_view name = rawName ? rawName : "";
        auto components = splitPackagePath(name);
        if (name.empty() || name.starts_with('/') || !components) {
            ++report.entriesRefused;
            continue;
        }
        if (components->empty()) continue; // "./" and the like name the directory itself

        const EntryKind kind = entryKind(archive.get(), index, name);
        if (kind == EntryKind::refused) {
            ++report.entriesRefused;
            continue;
        }
        if (kind == EntryKind::directory) {
            if (!openDirectoryBelow(root.get(), *components, components->size())) ++report.entriesRefused;
            continue;
        }

        const std::uint64_t budget = limits.maxTotalBytes - report.bytesWritten;
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) && stat.size > budget) {
            report.stoppedAtLimit = true;
            break;
        }
        UniqueFd parent = openDirectoryBelow(root.get(), *components, components->size() - 1);
        if (!parent) {
            ++report.entriesRefused;
            continue;
        }
        std::uint64_t written = 0;
        switch (writeEntry(archive.get(), index, parent.get(), components->back(), budget, buffer, written)) {
        case WriteOutcome::written:
            ++report.filesWritten;
            report.bytesWritten += written;
            break;
        case WriteOutcome::failed: ++report.entriesRefused; break;
        case WriteOutcome::overLimit: report.stoppedAtLimit = true; return report;
        }
    }
    return report;
}

} // namespace trimeo::threemf
