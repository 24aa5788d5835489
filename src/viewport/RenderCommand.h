// `trimeo --render OUT.png [--size WxH] [--wireframe] FILE`: loads FILE through the
// viewport's pipeline, draws its first frame offscreen and writes it as PNG.
#pragma once

namespace trimeo {

// argv[1] is "--render". Returns the process exit status: 0 when the PNG was written,
// 1 when the file could not be read or loaded (its description goes to stderr) or no
// OpenGL was available, 2 for a usage error.
int runRenderCommand(int argc, char** argv);

} // namespace trimeo
