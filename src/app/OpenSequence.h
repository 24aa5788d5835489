// The one way a file is opened. Reads the whole file (ModelFile) now, on the calling thread; on
// success stores the bytes, then the location, in `state` and records the file as
// recent. On failure writes one line "Failed to open file: <description>" to `out`,
// changes nothing and reports the failure through the state's openFailed signal, for
// the window to show. Returns whether the file was opened.
#pragma once

#include <QThreadPool>
#include <QUrl>

#include <iostream>

namespace trimeo {

class AppState;

bool runOpenSequence(AppState& state, const QUrl& url, std::ostream& out = std::cout);

// The same sequence with the read on a worker thread, so that a big file or a slow disk
// never freezes the window. If the read lasts longer than `cueDelayMs`, the state is
// marked as reading (the window shows the loading overlay) until it ends. The outcome is
// applied on the interface thread exactly as runOpenSequence would, unless another open
// has started since: then this one's result is dropped. `out` must outlive the read.
void startOpenSequence(AppState& state, const QUrl& url, std::ostream& out = std::cout, int cueDelayMs = 150);

// The workers that read files for startOpenSequence: their own pool, so that a slow disk
// holds up neither model loads nor Qt's own use of the global pool.
QThreadPool& fileReadingPool();

} // namespace trimeo
