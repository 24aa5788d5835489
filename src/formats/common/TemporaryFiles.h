// Temporary files and directories named by fresh random UUIDs in the system temporary
// directory (TMPDIR is honoured). Each object removes its path when it goes out of scope;
// a failure to remove is ignored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace trimeo {

// A random version-4 UUID in its standard upper-case text form.
std::string makeUUIDString();

// Writes the whole buffer; throws PlatformError with the path and the OS reason.
void writeWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data);

class TemporaryFile {
public:
    // <temp>/<UUID>.<extension>; nothing is created yet.
    explicit TemporaryFile(const std::string& extension);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    void write(std::span<const std::uint8_t> data) const { writeWholeFile(path_, data); }

private:
    std::filesystem::path path_;
};

class TemporaryDirectory {
public:
    // Creates <temp>/<UUID>/; throws PlatformError when it cannot.
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace trimeo
