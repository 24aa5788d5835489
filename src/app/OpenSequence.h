// The one way a file is opened. Reads the whole file now, on the calling thread; on
// success stores the bytes, then the location, in `state` and records the file as
// recent. On failure writes one line "Failed to open file: <description>" to `out`
// and changes nothing. Returns whether the file was opened.
#pragma once

#include <QUrl>

#include <iostream>

namespace trimeo {

class AppState;

bool runOpenSequence(AppState& state, const QUrl& url, std::ostream& out = std::cout);

} // namespace trimeo
