// GLSL 3.30 sources of the one surface shader: metallic-roughness shading for physically
// based materials, Lambert for the others, a light that follows the camera plus a sky and
// ground ambient, diffuse colour or texture with alpha, back faces lit from their own side.
#pragma once

namespace trimeo::gl {

extern const char* const kSurfaceVertexShader;
extern const char* const kSurfaceFragmentShader;

} // namespace trimeo::gl
