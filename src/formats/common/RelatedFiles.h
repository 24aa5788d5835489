// Opens files that a model names relative to itself: glTF buffers and images, OBJ material
// libraries and textures, USD layers. The only way a reader reaches a file other than the
// model's own bytes.
//
// A reference is resolved against the model's folder and must stay inside it: absolute
// paths, ".." that leaves the folder, symbolic links leading out of it, and anything that is
// not a regular file (devices, FIFOs, sockets, folders) are refused. A reader whose format
// shares files across an asset tree (USD layers) may widen that folder by a `reach`: the
// folder that many levels above the model's then bounds the reference instead (never the
// file system's root), with every other rule unchanged. Each file is capped in size, and
// every byte read counts against one budget for the whole load; a file read twice is read
// once and counted once. Without a model location nothing resolves, so bytes-only
// loads (fuzzing, pasted data) never touch the file system.
//
// One instance serves one load on one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trimeo {

class RelatedFiles {
public:
    struct Limits {
        std::uint64_t maxFileBytes = std::uint64_t(2) << 30; // any one file
        std::uint64_t budgetBytes = std::uint64_t(4) << 30;  // all files of the load together
        std::size_t maxFiles = 4096;                         // distinct files opened
    };
    using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;

    // Resolves nothing: every read is refused with "no location".
    RelatedFiles() = default;
    // `modelFile` is the model's own path; references resolve in its folder.
    // (Two constructors rather than a default argument: GCC cannot take `Limits{}` as one
    // inside the class that defines it.)
    explicit RelatedFiles(const std::filesystem::path& modelFile);
    RelatedFiles(const std::filesystem::path& modelFile, Limits limits);

    bool hasLocation() const { return root_.has_value(); }

    // The bytes of the file `reference` names: a relative path with '/' separators, already
    // percent-decoded where the format asks for it, relative to the model's folder, which
    // `reach` widens to the folder that many levels above it. Nothing when refused, with the
    // reason in `why`: "not found", "outside the model's folder" (with a reach: "outside the
    // folder N levels above the model's"), "not a regular file", "larger than N MiB",
    // "over the load's budget of N MiB", "too many files", "no location", or the system's
    // reason for a failed read. (A limit that is not a whole number of MiB is told in bytes.)
    std::optional<Bytes> read(std::string_view reference, std::string& why, unsigned reach = 0);

    // Everything refused so far, reference -> reason, for a reader's message.
    const std::map<std::string, std::string>& refusals() const { return refusals_; }

private:
    std::optional<std::filesystem::path> root_; // canonical model folder
    Limits limits_;
    std::uint64_t used_ = 0;
    std::map<std::filesystem::path, Bytes> opened_;
    std::map<std::string, std::string> refusals_;
};

// Why a reference that leaves the folder `reach` levels above the model's is refused:
// "outside the model's folder", "outside the folder 1 level above the model's", ...
std::string outsideReason(unsigned reach);

// "%20" and the like decoded; malformed escapes are kept as they are.
std::string percentDecode(std::string_view text);

// The path of `reference` as seen from the folder of `referrer`, both relative to one root
// (the model's folder, or a package's top): "a/b.usda" + "../c.usda" -> "c.usda",
// "a/b.usda" + "./d/e.bin" -> "a/d/e.bin". Nothing for an absolute reference, a scheme
// ("http:", "file:", "data:") or a drive letter ("C:"), an empty one, one holding a NUL, or
// one that climbs more than `reach` folders above the root; a climb within the reach stays
// as leading "../" ("" + "../../c" -> "../../c" with a reach of 2). "." when it names the
// root itself. A leading '\\' counts as absolute; elsewhere '\\' is part of a name, not a
// separator.
std::optional<std::string> joinRelative(std::string_view referrer, std::string_view reference, unsigned reach = 0);

} // namespace trimeo
