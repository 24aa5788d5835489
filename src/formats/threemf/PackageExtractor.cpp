#include "PackageExtractor.h"

#include "PackagePaths.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

// Deflate unpacks at most about 1032 bytes from one: a declared size beyond that is a lie.
constexpr std::uint64_t kMostDeflateRatio = 1032;

// Archives made on Unix keep the file mode in the upper half of the external attributes;
// others (DOS, Windows) mark directories by a trailing '/' only, and whatever their
// attributes hold, such an entry is unpacked as a plain file.
EntryKind entryKind(zip_t* archive, zip_uint64_t index, std::string_view name) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) != 0) return EntryKind::refused;
    if (opsys == ZIP_OPSYS_UNIX || opsys == ZIP_OPSYS_OS_X) {
        const mode_t type = mode_t(attributes >> 16) & S_IFMT;
        if (type == S_IFDIR) return EntryKind::directory;
        if (type != 0 && type != S_IFREG) return EntryKind::refused; // links, devices, FIFOs, sockets
    }
    return name.ends_with('/') ? EntryKind::directory : EntryKind::file;
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

// One unpacking run: the archive, the directory it goes into, and what the limits leave.
class Extraction {
public:
    Extraction(zip_t* archive, int root, const ExtractionLimits& limits, ExtractionReport& report, HeldEntry* held)
        : archive_(archive), root_(root), limits_(limits), report_(report), held_(held), buffer_(std::size_t(1) << 16) {
        if (held_) heldPath_ = splitPackagePath(held_->path).value_or(std::vector<std::string>{});
    }

    // False once a limit is reached: nothing after it is unpacked.
    bool unpackEntry(zip_uint64_t index) {
        switch (unpack(index)) {
        case Step::done: return true;
        case Step::refused: ++report_.entriesRefused; return true;
        case Step::overLimit: report_.stoppedAtLimit = true; return false;
        }
        return false;
    }

private:
    enum class Step { done, refused, overLimit };

    Step unpack(zip_uint64_t index) {
        const char* rawName = zip_get_name(archive_, index, ZIP_FL_ENC_GUESS);
        const std::string_view name = rawName ? rawName : "";
        auto components = splitPackagePath(name);
        if (name.empty() || name.starts_with('/') || !components) return Step::refused;
        if (components->empty()) return Step::done; // "./" and the like name the directory itself

        const EntryKind kind = entryKind(archive_, index, name);
        if (kind == EntryKind::refused) return Step::refused;
        Step step = Step::done;
        if (kind == EntryKind::directory) {
            openDirectoryBelow(*components, components->size(), step);
            return step;
        }

        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive_, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) &&
            stat.size > bytesLeft())
            return Step::overLimit;
        UniqueFd parent = openDirectoryBelow(*components, components->size() - 1, step);
        if (!parent) return step;
        const bool heldHere = !heldPath_.empty() && heldPath_ == *components;
        // The declared size, only as far as the compressed bytes could hold it.
        std::uint64_t declared = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
        if ((stat.valid & ZIP_STAT_COMP_SIZE) && stat.comp_size < declared / kMostDeflateRatio)
            declared = stat.comp_size * kMostDeflateRatio;
        return writeFile(index, parent.get(), components->back(), heldHere ? held_ : nullptr, declared);
    }

    std::uint64_t bytesLeft() const { return limits_.maxTotalBytes - report_.bytesWritten; }

    // Every file and directory made counts against the entry limit, so deep paths cannot
    // turn a few entries into millions of directories.
    bool takeObject() {
        if (objectsCreated_ >= limits_.maxEntries) return false;
        ++objectsCreated_;
        return true;
    }

    // Opens (creating where needed) the directory `components[0, count)` below the root, one
    // component at a time and never through a symbolic link. On failure `step` says why.
    UniqueFd openDirectoryBelow(const std::vector<std::string>& components, std::size_t count, Step& step) {
        UniqueFd current(::fcntl(root_, F_DUPFD_CLOEXEC, 0));
        for (std::size_t i = 0; i < count && current; ++i) {
            const char* name = components[i].c_str();
            struct stat st {};
            if (::fstatat(current.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (!takeObject()) {
                    step = Step::overLimit;
                    return UniqueFd();
                }
                if (::mkdirat(current.get(), name, 0755) != 0 && errno != EEXIST) break;
            }
            current = UniqueFd(::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        if (!current) step = Step::refused;
        return current;
    }

    // Unpacks one entry into `name` below `directory` (or into `held`, leaving that file
    // empty), counting the bytes that really come out of the decompressor, whatever size the
    // archive declares. A failed entry leaves no file behind.
    Step writeFile(zip_uint64_t index, int directory, const std::string& name, HeldEntry* held,
                   std::uint64_t declaredSize) {
        EntryFile entry(zip_fopen_index(archive_, index, 0));
        if (!entry) return Step::refused;
        if (!takeObject()) return Step::overLimit;
        UniqueFd out(::openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!out) return Step::refused;
        if (held) {
            // The file is now empty: so is what held it before. The declared size is only a
            // hint, and within the holder's bound.
            endTelling(*held);
            held->unpacked = held->tooLarge = false;
            held->bytes.clear();
            held->bytes.shrink_to_fit();
            held->bytes.reserve(std::size_t(std::min(declaredSize, held->maxBytes)));
            if (held->arriving && !told_) {
                telling_ = true;
                held->arriving->start(held->bytes.data());
            }
        }

        Step step = Step::done;
        const std::uint64_t budget = bytesLeft();
        std::uint64_t written = 0;
        for (;;) {
            zip_int64_t n = zip_fread(entry.get(), buffer_.data(), buffer_.size());
            if (n < 0) {
                step = Step::refused;
                break;
            }
            if (n == 0) break;
            written += std::uint64_t(n);
            if (written > budget) {
                step = Step::overLimit;
                break;
            }
            if (held) {
                hold(*held, std::size_t(n));
            } else if (!writeAll(out.get(), buffer_.data(), std::size_t(n))) {
                step = Step::refused;
                break;
            }
        }
        // Closing reports a checksum mismatch that the last read did not.
        if (step == Step::done && zip_fclose(entry.release()) != 0) step = Step::refused;
        if (step == Step::done && ::close(out.release()) != 0) step = Step::refused;
        if (step != Step::done) {
            ::unlinkat(directory, name.c_str(), 0);
            if (held) {
                endTelling(*held);
                held->bytes = {};
            }
            return step;
        }
        if (held) {
            held->unpacked = true;
            if (telling_) held->arriving->finish(held->bytes.size());
        }
        ++report_.filesWritten;
        report_.bytesWritten += written;
        return step;
    }

    void hold(HeldEntry& held, std::size_t n) {
        if (held.tooLarge) return;
        if (held.bytes.size() + n > held.maxBytes) {
            endTelling(held);
            held.tooLarge = true;
            held.bytes = {};
            return;
        }
        const bool fits = held.bytes.size() + n <= held.bytes.capacity();
        if (!fits && telling_) {
            endTelling(held);
            held.bytes = held.told;
        }
        held.bytes.insert(held.bytes.end(), buffer_.data(), buffer_.data() + n);
        if (telling_) held.arriving->publish(held.bytes.size());
    }

    // Abandons the arriving document, if it is still being told, and keeps what it was told
    // where the reader may still be reading it.
    void endTelling(HeldEntry& held) {
        if (!telling_) return;
        telling_ = false;
        told_ = true;
        held.arriving->abandon();
        held.told = std::move(held.bytes);
        held.bytes = {};
    }

    zip_t* archive_;
    int root_;
    const ExtractionLimits& limits_;
    ExtractionReport& report_;
    HeldEntry* held_;
    std::vector<std::string> heldPath_; // empty: nothing held
    bool telling_ = false; // held_->arriving is being told of held_->bytes
    bool told_ = false;    // it was, and is abandoned
    std::vector<char> buffer_;
    std::size_t objectsCreated_ = 0;
};

} // namespace

ExtractionReport extractPackage(const std::filesystem::path& archivePath, const std::filesystem::path& into,
                                const ExtractionLimits& limits, HeldEntry* held) {
    ExtractionReport report;
    int openError = 0;
    Archive archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &openError));
    if (!archive) return report;
    report.openedArchive = true;

    UniqueFd root(::open(into.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!root) return report;

    Extraction extraction(archive.get(), root.get(), limits, report, held);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (zip_uint64_t(i) >= limits.maxEntries) {
            report.stoppedAtLimit = true;
            break;
        }
        if (!extraction.unpackEntry(zip_uint64_t(i))) break;
    }
    return report;
}

} // namespace trimeo::threemf
