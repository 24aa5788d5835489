// The manual page, trimeo(1), made from the text `trimeo --help` prints, so the two never
// disagree. Qt-free: a build step runs the built program and writes the page.
#pragma once

#include <string>

namespace trimeo {

// `help` as QCommandLineParser lays it out: a "Usage: " line, the description, then
// "Options:" and "Arguments:" blocks of two-space-indented entries whose descriptions start
// in one column and continue on further indented lines. Returns roff (man macros):
// NAME, SYNOPSIS, DESCRIPTION, OPTIONS, ARGUMENTS, in that order, `version` and `date`
// (YYYY-MM-DD) in the title line.
std::string manPageFromHelp(const std::string& help, const std::string& version, const std::string& date);

} // namespace trimeo
