// Unpacks a ZIP package into a directory with libzip, keeping each entry's path inside the
// archive. The archive comes from anywhere, so the unpacking is hardened:
//  - an entry whose path is absolute, has a ".." component or is longer than
//    kMaxPackagePathBytes is refused; every other path is created component by component
//    below the target directory, so nothing can land outside it;
//  - symbolic links (and devices, FIFOs, sockets) are refused, and no path component is
//    followed through a symbolic link;
//  - unpacking stops once the entries read, the files and directories created, or the
//    bytes actually unpacked pass the limits, whatever sizes the archive declares (a ZIP
//    bomb cannot fill the disk, nor deep paths its inodes);
//  - an entry that fails (bad data, CRC mismatch, encryption, write error) is removed again
//    rather than left half written.
// Files are created with mode 0644 and directories with 0755 (before the umask); the
// archive's permission bits and timestamps are not applied.
#pragma once

#include "ArrivingDocument.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trimeo::threemf {

struct ExtractionLimits {
    std::uint64_t maxTotalBytes = std::uint64_t(2) << 30; // 2 GiB unpacked
    std::size_t maxEntries = 10000; // entries read, and files plus directories created
    // Model XML the importer holds in memory at once: the main part, and the component parts
    // in total. The text is read whole and its meshes built beside it, so this bounds the
    // import's memory to a small multiple of it.
    std::uint64_t maxModelBytes = std::uint64_t(1) << 30; // 1 GiB
};

struct ExtractionReport {
    bool openedArchive = false;   // false: not a ZIP archive (or unreadable); nothing written
    std::size_t filesWritten = 0; // regular files completely unpacked
    std::size_t entriesRefused = 0;
    bool stoppedAtLimit = false;  // entries after the limit were not unpacked
    std::uint64_t bytesWritten = 0;
};

// One entry unpacked into memory instead of into its file, which is still created, empty,
// and removed again just where the file would be: the directory's layout and every other
// entry's fate stay those of a plain unpacking, and its bytes count against the limits as
// the file's would. A later entry of the same path replaces it, as it would the file.
struct HeldEntry {
    std::string path;           // package path; matched after splitPackagePath
    std::uint64_t maxBytes = 0; // bytes past this are counted but not kept
    // Told of the first such entry's bytes as they come, while they fit the room its
    // declared size reserves; whatever would change bytes already told (more than that
    // room, a failure, a later entry of the path) abandons it. Bytes told stay in memory
    // until the HeldEntry goes.
    ArrivingDocument* arriving = nullptr;
    // Results:
    bool unpacked = false;      // the empty file stands for a completely unpacked entry
    bool tooLarge = false;      // it had more than maxBytes; `bytes` is then empty
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> told; // bytes told to `arriving` before it was abandoned
};

// Unpacks the archive file at `archive` into the existing directory `into`, the entry
// `held` names (if any) into memory. Never throws for a bad archive: what cannot be
// unpacked safely is skipped and counted in the report.
ExtractionReport extractPackage(const std::filesystem::path& archive, const std::filesystem::path& into,
                                const ExtractionLimits& limits = {}, HeldEntry* held = nullptr);

} // namespace trimeo::threemf
