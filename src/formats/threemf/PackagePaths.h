// Paths inside a 3MF package, checked before anything touches the disk, and whole-file
// reads of the parts an unpacked package holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trimeo::threemf {

// Longest package path accepted, in bytes: keeps every unpacked path well below PATH_MAX
// so that the working directory can always be removed again.
inline constexpr std::size_t kMaxPackagePathBytes = 1024;

// The components of a relative package path split at '/', with empty and "." components
// dropped. No value when a component is "..", a component is longer than 255 bytes, or
// the path is longer than kMaxPackagePathBytes. A leading '/' is treated as relative:
// callers that must refuse absolute paths check for it first.
std::optional<std::vector<std::string>> splitPackagePath(std::string_view path);

// `base` joined with the components; no value when splitPackagePath refuses the path or
// leaves no component. The result always lies inside `base`.
std::optional<std::filesystem::path> resolveInside(const std::filesystem::path& base, std::string_view path);

// Reads a whole regular file without following a symbolic link at its last component.
// Throws PlatformError with the path and the OS reason.
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path);

} // namespace trimeo::threemf
