// The file's bytes, mapped rather than copied: a 100 MB model costs no read and no
// zero-filled buffer. The mapping is populated up front (one pass over the page cache
// instead of a fault per page). Files that cannot be mapped (pipes, empty files) are read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace trimeo {

// open(): the whole file, or nothing when it cannot be opened or read.
class FileBytes {
public:
    static std::optional<FileBytes> open(const std::filesystem::path& path);
    FileBytes() = default;
    FileBytes(FileBytes&& o) noexcept
        : mapped_(std::exchange(o.mapped_, nullptr)), size_(std::exchange(o.size_, 0)), read_(std::move(o.read_)) {}
    FileBytes& operator=(FileBytes&&) = delete;
    ~FileBytes();
    std::span<const std::uint8_t> bytes() const { return mapped_ ? std::span(mapped_, size_) : std::span(read_); }

private:
    const std::uint8_t* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::vector<std::uint8_t> read_;
};

} // namespace trimeo
