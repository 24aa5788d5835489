// Stepping through the model files of one folder: which files count, in what order, and
// which one comes next.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace trimeo {

// Natural name order: runs of digits compare by value ("part2" before "part10"), other
// text without regard to ASCII case; names equal that way fall back to byte order, so the
// order is total.
bool naturalLess(std::string_view a, std::string_view b);

// Regular files of the folder (not its subfolders) whose extension the open dialog offers
// and the loader can read (VDB is always refused, so it is skipped), in natural order of
// their file names. An unreadable folder gives an empty list.
std::vector<std::filesystem::path> modelFilesIn(const std::filesystem::path& folder);

// The model file `step` places after (positive) or before (negative) `current` in its
// folder's list, wrapping around at either end. `current` need not be in the list itself
// (it may have been deleted or be of another type): the step counts from where its name
// would stand. Nothing when the folder holds no other model file.
std::optional<std::filesystem::path> neighbourModelFile(const std::filesystem::path& current, int step);

} // namespace trimeo
