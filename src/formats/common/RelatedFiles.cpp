#include "RelatedFiles.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trimeo {
namespace {

constexpr std::uint64_t mebibyte = std::uint64_t(1) << 20;

// Limits are whole MiB in practice; a smaller one is told in bytes rather than as "0 MiB".
std::string amount(std::uint64_t bytes) {
    if (bytes % mebibyte == 0) {
        return std::to_string(bytes / mebibyte) + " MiB";
    }
    return std::to_string(bytes) + " bytes";
}

// The system's reason for `error`, as a user reads it.
std::string systemReason(int error) {
    if (error == ENOENT || error == ENOTDIR) {
        return "not found";
    }
    std::string text = std::strerror(error);
    if (!text.empty()) {
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

// RFC 3986 scheme ("http:", "file:", "data:"), or a drive letter ("C:"), before any '/'.
bool startsWithScheme(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || text.substr(0, colon).find('/') != std::string_view::npos) {
        return false;
    }
    if (!std::isalpha(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    for (char c : text.substr(1, colon - 1)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

// Appends the '/'-separated components of `text` to `parts`; ".." above the root counts in
// `ups`, false once that climbs past `reach`.
bool walk(std::string_view text, std::vector<std::string_view>& parts, unsigned& ups, unsigned reach) {
    while (!text.empty()) {
        const auto slash = text.find('/');
        const std::string_view part = text.substr(0, slash);
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part != "..") {
            parts.push_back(part);
        } else if (!parts.empty()) {
            parts.pop_back();
        } else if (ups < reach) {
            ++ups;
        } else {
            return false;
        }
    }
    return true;
}

// The root itself counts as inside: naming it is refused later, as a folder.
bool isInside(const std::string& path, const std::string& root) {
    if (path == root || root == "/") {
        return path.starts_with('/');
    }
    return path.size() > root.size() + 1 && path.starts_with(root) && path[root.size()] == '/';
}

// The final path of an open file, from the kernel: what was opened, whatever the name
// pointed at when it was opened.
std::optional<std::string> openedPath(int fd) {
    char link[PATH_MAX];
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(proc.c_str(), link, sizeof link);
    if (length <= 0 || std::size_t(length) >= sizeof link) {
        return std::nullopt;
    }
    return std::string(link, std::size_t(length));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

RelatedFiles::RelatedFiles(const std::filesystem::path& modelFile) : RelatedFiles(modelFile, Limits{}) {}

RelatedFiles::RelatedFiles(const std::filesystem::path& modelFile, Limits limits) : limits_(limits) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(modelFile, error).parent_path();
    std::filesystem::path canonical = std::filesystem::canonical(folder, error);
    // A folder that cannot be resolved still has a location: its files are then "not found".
    root_ = error ? folder.lexically_normal() : canonical;
}

std::optional<RelatedFiles::Bytes> RelatedFiles::read(std::string_view reference, std::string& why, unsigned reach) {
    auto refuse = [&](std::string reason) -> std::optional<Bytes> {
        why = reason;
        refusals_[std::string(reference)] = std::move(reason);
        return std::nullopt;
    };
    if (!root_) {
        return refuse("no location");
    }
    if (reference.empty()) {
        return refuse("not found");
    }
    // The widened folder stops below the file system's root: no reach opens the whole disk.
    std::filesystem::path bound = *root_;
    unsigned climbed = 0;
    while (climbed < reach && bound.parent_path().has_relative_path()) {
        bound = bound.parent_path();
        ++climbed;
    }
    const std::string outside = outsideReason(climbed);
    const auto relative = joinRelative("", reference, climbed);
    if (!relative) {
        return refuse(outside);
    }

    // Resolve before opening, so nothing outside the folder (a device, a FIFO) is ever opened.
    const std::string root = bound.string();
    const std::string named = root_->string() + "/" + *relative;
    char resolved[PATH_MAX];
    if (::realpath(named.c_str(), resolved) == nullptr) {
        return refuse(systemReason(errno));
    }
    const std::string canonical = resolved;
    if (!isInside(canonical, root)) {
        return refuse(outside);
    }
    if (const auto known = opened_.find(canonical); known != opened_.end()) {
        return known->second;
    }
    struct stat status {};
    if (::stat(canonical.c_str(), &status) != 0) {
        return refuse(systemReason(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return refuse("not a regular file");
    }
    if (opened_.size() >= limits_.maxFiles) {
        return refuse("too many files");
    }

    // Non-blocking, so a FIFO swapped in after the check cannot hang the load.
    const FileDescriptor file(::open(canonical.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (file.get() < 0) {
        return refuse(errno == ELOOP ? outside : systemReason(errno));
    }
    if (::fstat(file.get(), &status) != 0) {
        return refuse(systemReason(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return refuse("not a regular file");
    }
    // A folder on the way may have been swapped for a link after the name was resolved.
    if (const auto path = openedPath(file.get()); path && !isInside(*path, root)) {
        return refuse(outside);
    }

    const auto size = std::uint64_t(status.st_size);
    if (size > limits_.maxFileBytes) {
        return refuse("larger than " + amount(limits_.maxFileBytes));
    }
    if (size > limits_.budgetBytes - std::min(used_, limits_.budgetBytes)) {
        return refuse("over the load's budget of " + amount(limits_.budgetBytes));
    }

    auto bytes = std::make_shared<std::vector<std::uint8_t>>(std::size_t(size));
    std::size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t count = ::read(file.get(), bytes->data() + done, bytes->size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return refuse(systemReason(errno));
        }
        if (count == 0) {
            break; // shrank since fstat: keep what is there
        }
        done += std::size_t(count);
    }
    bytes->resize(done);

    used_ += done;
    Bytes shared = std::move(bytes);
    opened_.emplace(canonical, shared);
    return shared;
}

std::string outsideReason(unsigned reach) {
    if (reach == 0) {
        return "outside the model's folder";
    }
    return "outside the folder " + std::to_string(reach) + (reach == 1 ? " level" : " levels") + " above the model's";
}

std::string percentDecode(std::string_view text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out.push_back(char(hex(text[i + 1]) * 16 + hex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::optional<std::string> joinRelative(std::string_view referrer, std::string_view reference, unsigned reach) {
    // A NUL would cut the name short at the system call.
    if (reference.empty() || reference.find('\0') != std::string_view::npos
        || referrer.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    // The referrer is a path already resolved, which may well be "./a:b.usda" simplified.
    auto absolute = [](std::string_view text) { return !text.empty() && (text[0] == '/' || text[0] == '\\'); };
    if (absolute(referrer) || absolute(reference) || startsWithScheme(reference)) {
        return std::nullopt;
    }
    std::vector<std::string_view> parts;
    unsigned ups = 0;
    const auto slash = referrer.rfind('/');
    if (slash != std::string_view::npos && !walk(referrer.substr(0, slash), parts, ups, reach)) {
        return std::nullopt;
    }
    if (!walk(reference, parts, ups, reach)) {
        return std::nullopt;
    }
    if (parts.empty() && ups == 0) {
        return std::string("."); // the root folder itself
    }
    std::vector<std::string_view> all(ups, "..");
    all.insert(all.end(), parts.begin(), parts.end());
    std::string joined;
    for (const auto part : all) {
        if (!joined.empty()) {
            joined.push_back('/');
        }
        joined.append(part);
    }
    return joined;
}

} // namespace trimeo
