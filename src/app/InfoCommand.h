// `trimeo --info FILE`: loads the file and prints a JSON summary of the result. Needs no display.
#pragma once

#include "loading/ModelLoader.h"

#include <ostream>
#include <string>

namespace trimeo {

// Writes one JSON object describing a successful load.
void writeLoadSummary(std::ostream& out, const std::string& route, const ModelLoader::LoadResult& result);

// Returns the process exit status: 0 on success, 1 when the file cannot be read or loaded.
int runInfoCommand(const std::string& path);

} // namespace trimeo
