// `trimeo --render OUT.png [--size WxH] [--wireframe] [--timings] FILE`: loads FILE through
// the viewport's pipeline, draws its first frame offscreen and writes it as PNG.
#pragma once

#include <string>

namespace trimeo {

struct RenderRequest {
    std::string output; // the PNG to write
    std::string file;   // the model
    int width = 800, height = 600; // 1 to 16384 each
    bool wireframe = false;
    bool timings = false; // where the time went, to stderr
};

// Returns the process exit status: 0 when the PNG was written, 1 when the file could not
// be read or loaded (its description goes to stderr) or no OpenGL was available.
// `programName` is argv[0], for Qt.
int runRenderCommand(const RenderRequest& request, char* programName);

} // namespace trimeo
