// `trimeo --thumbnail INPUT OUTPUT SIZE`: the file manager's thumbnailer. Loads INPUT (a
// path or a file URI) through the viewport's pipeline and writes OUTPUT, a SIZE x SIZE
// PNG of the model alone (no floor) on a transparent background, seen from the default
// camera with the lens narrowed so the model fills the square. Draws through surfaceless
// EGL: needs no display, no session and no network, so it runs in the sandbox file managers
// put thumbnailers in.
#pragma once

#include <cstdint>
#include <string>

namespace trimeo {

struct ThumbnailRequest {
    std::string input;  // a path, or a "file:" URI as the thumbnailer entry's %i gives it
    std::string output; // the PNG to write; nothing is left there on failure
    int size = 256;     // kMinThumbnailSize to kMaxThumbnailSize
    double timeLimit = 20; // seconds from the start until the file counts as too slow
};

inline constexpr int kMinThumbnailSize = 128;
inline constexpr int kMaxThumbnailSize = 1024;
// Larger files are refused before any byte is read.
inline constexpr std::uint64_t kMaxThumbnailInputBytes = 512ull << 20;

// Returns the process exit status: 0 when the PNG was written; 1, with the reason on
// stderr and no OUTPUT, when the input is not a local file, too large, unreadable,
// not loadable or not done within the time limit, or no OpenGL is available; 2 when the
// size is outside the range. May end the process itself when the time limit passes.
int runThumbnailCommand(const ThumbnailRequest& request, char* programName);

} // namespace trimeo
