// Runs a shell command line as a user would, with its standard error captured.
#pragma once

#include <filesystem>
#include <string>

namespace trimeo::test {

struct CommandOutcome {
    int status = -1; // the exit status; -1 when the command did not exit normally
    std::string errors;
};

// `scratch` is a folder the caller owns; the captured text is kept there while it runs.
CommandOutcome runCommand(const std::string& commandLine, const std::filesystem::path& scratch);

// The text in single quotes for the shell, any single quote in it escaped.
std::string shellQuoted(const std::string& text);

} // namespace trimeo::test
