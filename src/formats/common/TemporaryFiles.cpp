#include "formats/common/TemporaryFiles.h"

#include "LoaderError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace trimeo {
namespace fs = std::filesystem;

std::string makeUUIDString() {
    thread_local std::mt19937_64 rng{[] {
        std::random_device rd;
        std::seed_seq seq{rd(), rd(), rd(), rd(), rd(), rd(), rd(), rd()};
        return std::mt19937_64(seq);
    }()};
    std::uint64_t hi = rng(), lo = rng();
    hi = (hi & ~0xF000ull) | 0x4000ull;                               // version 4
    lo = (lo & ~(0xC000ull << 48)) | (0x8000ull << 48);               // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", unsigned(hi >> 32), unsigned((hi >> 16) & 0xFFFF),
                  unsigned(hi & 0xFFFF), unsigned(lo >> 48), static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
    return text;
}

void writeWholeFile(const fs::path& path, std::span<const std::uint8_t> data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw PlatformError("Cannot write file " + path.string() + ": " + std::strerror(errno));
    std::size_t written = data.empty() ? 0 : std::fwrite(data.data(), 1, data.size(), f);
    int writeErrno = errno;
    bool ok = written == data.size();
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        writeErrno = errno;
    }
    if (!ok) throw PlatformError("Cannot write file " + path.string() + ": " + std::strerror(writeErrno));
}

namespace {
fs::path temporaryDirectory() {
    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec);
    if (ec) throw PlatformError("No temporary directory: " + ec.message());
    return dir;
}
} // namespace

TemporaryFile::TemporaryFile(const std::string& extension)
    : path_(temporaryDirectory() / (makeUUIDString() + (extension.empty() ? "" : "." + extension))) {}

TemporaryFile::~TemporaryFile() {
    std::error_code ec;
    fs::remove(path_, ec);
}

TemporaryDirectory::TemporaryDirectory() : path_(temporaryDirectory() / makeUUIDString()) {
    std::error_code ec;
    if (!fs::create_directory(path_, ec))
        throw PlatformError("Cannot create directory " + path_.string() + ": " +
                            (ec ? ec.message() : std::string("it already exists")));
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

} // namespace trimeo
