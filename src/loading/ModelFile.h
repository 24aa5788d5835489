// The one way a model file's bytes are had: mapped read-only where the system allows (no
// copy, no RAM held for the bytes once releaseFileBytes gives them back), read otherwise;
// refused up front when the model it holds cannot fit the memory left to the process.
#pragma once

#include "formats/common/LoaderError.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace trimeo {

// The file cannot be opened or read; reason() is the system's word for it
// ("No such file or directory", "Is a directory", "Not a regular file").
class FileOpenError : public PlatformError {
public:
    FileOpenError(const std::filesystem::path& path, std::string reason);
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

class ModelFile {
public:
    // Throws FileOpenError, or PlatformError ("Not enough memory to load this model ...")
    // when the file or the least its model decodes to does not fit (see decodedSizeEstimate).
    static ModelFile open(const std::filesystem::path& path);

    ModelFile(ModelFile&& other) noexcept;
    ModelFile& operator=(ModelFile&&) = delete;
    ~ModelFile();

    std::span<const std::uint8_t> bytes() const;
    bool isMapped() const { return mapped_ != nullptr; }

private:
    ModelFile() = default;
    const std::uint8_t* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::vector<std::uint8_t> read_;
};

// The least memory a model in `bytes`, named with the lower-cased `extension`, takes once
// decoded: a bound that real files of the format exceed, so that a refusal is never wrong.
std::uint64_t decodedSizeEstimate(std::span<const std::uint8_t> bytes, const std::string& extension);

} // namespace trimeo
