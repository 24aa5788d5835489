// GLSL 3.30 sources of the surface shader: metallic-roughness shading for physically
// based materials, Lambert for the others, a light that follows the camera plus a sky and
// ground ambient, diffuse colour or texture with alpha, back faces lit from their own side.
// Variants differ only in which vertex attributes they read: a mesh without normals is
// lit by each triangle's plane, one without texture coordinates samples no image, a
// skinned one moves each vertex by up to four of at most kMaxJoints joint matrices
// (uJoints, each taking the geometry's coordinates straight to view space).
#pragma once

#include <string>

namespace trimeo::gl {

constexpr int kMaxJoints = 64; // 256 vec4 uniforms: what every OpenGL 3.3 vertex stage offers

struct SurfaceVariant {
    bool normals = true;
    bool texcoords = true;
    bool skinned = false;
    static constexpr int count = 8;
    int index() const { return (normals ? 1 : 0) | (texcoords ? 2 : 0) | (skinned ? 4 : 0); }
};

std::string surfaceVertexShader(SurfaceVariant variant);
std::string surfaceFragmentShader(SurfaceVariant variant);

} // namespace trimeo::gl
