#include "UsdzPackage.h"

#include "UsdFormatError.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>

namespace trimeo::usd {
namespace {

struct ArchiveCloser {
    void operator()(zip_t* a) const { zip_discard(a); }
};
struct EntryCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

std::string layerExtension(std::string_view name) {
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == "usda" || ext == "usdc" || ext == "usd" ? ext : std::string();
}

std::vector<std::uint8_t> readEntry(zip_t* archive, zip_uint64_t index) {
    std::unique_ptr<zip_file_t, EntryCloser> entry(zip_fopen_index(archive, index, 0));
    if (!entry) throw UsdFormatError("the package's layer cannot be opened");
    std::vector<std::uint8_t> out;
    std::uint8_t buffer[64 * 1024];
    for (;;) {
        zip_int64_t n = zip_fread(entry.get(), buffer, sizeof buffer);
        if (n < 0) throw UsdFormatError("the package's layer cannot be unpacked");
        if (n == 0) break;
        if (out.size() + std::size_t(n) > kMaxLayerBytes) throw UsdFormatError("the package's layer is too large");
        out.insert(out.end(), buffer, buffer + n);
    }
    // Closing is where libzip reports a CRC mismatch.
    if (zip_fclose(entry.release()) != 0) throw UsdFormatError("the package's layer is damaged");
    return out;
}


std::unique_ptr<zip_t, ArchiveCloser> openArchive(std::span<const std::uint8_t> package) {
    if (package.empty()) throw UsdFormatError("empty package");
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(package.data(), package.size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        throw UsdFormatError("not a ZIP package");
    }
    std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open_from_source(source, ZIP_RDONLY, &error));
    zip_error_fini(&error);
    if (!archive) {
        zip_source_free(source);
        throw UsdFormatError("not a ZIP package");
    }
    return archive;
}

std::optional<zip_uint64_t> firstLayerIndex(zip_t* archive) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (name && !layerExtension(name).empty()) return zip_uint64_t(i);
    }
    return std::nullopt;
}

} // namespace

PackagedLayer firstPackagedLayer(std::span<const std::uint8_t> package) {
    auto archive = openArchive(package);
    const auto index = firstLayerIndex(archive.get());
    if (!index) throw UsdFormatError("the package holds no USD layer");
    return {layerExtension(zip_get_name(archive.get(), *index, ZIP_FL_ENC_RAW)), readEntry(archive.get(), *index)};
}

struct UsdzPackage::Archive {
    std::unique_ptr<zip_t, ArchiveCloser> zip;
};

UsdzPackage::UsdzPackage(std::span<const std::uint8_t> bytes, std::shared_ptr<const void> keepAlive)
    : keepAlive_(std::move(keepAlive)), archive_(std::make_unique<Archive>()) {
    archive_->zip = openArchive(bytes);
    const auto index = firstLayerIndex(archive_->zip.get());
    if (!index) throw UsdFormatError("the package holds no USD layer");
    firstLayer_ = zip_get_name(archive_->zip.get(), *index, ZIP_FL_ENC_RAW);
}

UsdzPackage::~UsdzPackage() = default;

std::optional<std::vector<std::uint8_t>> UsdzPackage::read(const std::string& name) const {
    const zip_int64_t index = zip_name_locate(archive_->zip.get(), name.c_str(), ZIP_FL_ENC_RAW);
    if (index < 0) return std::nullopt;
    return readEntry(archive_->zip.get(), zip_uint64_t(index));
}

} // namespace trimeo::usd
