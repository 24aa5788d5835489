// Helpers shared by the tests: where the real model corpora live, whole-file reads,
// and a look at the temporary directory that loads must leave as they found it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trimeo::test {

std::filesystem::path assimpModels();   // Debian's assimp-testmodels
std::filesystem::path sharedFixtures(); // the project's shared fixture folder
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);
std::vector<std::uint8_t> bytes(const std::string& text);

// The names currently in the process's temporary directory (TMPDIR).
std::vector<std::string> temporaryDirectoryEntries();

// For a test main: `status`, or 1 (with the names on stderr) when files are left in TMPDIR.
int failIfTemporaryFilesLeft(int status);

} // namespace trimeo::test
