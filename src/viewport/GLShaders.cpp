#include "GLShaders.h"

#include <string>

namespace trimeo::gl {

namespace {

// Each value passed from vertex to fragment costs set-up work per triangle, which software
// rasterisers feel on big meshes: variants without normals or texture coordinates pass fewer.
const char* const kVertexBody = R"(
layout(location = 0) in vec3 aPosition;
uniform mat4 uModelView;
uniform mat3 uNormalMatrix;
uniform mat4 uProjection;
uniform vec4 uClipPlane; // view space; read only while a section is on
out vec3 vViewPosition;
#ifdef HAS_NORMAL
layout(location = 1) in vec3 aNormal;
out vec3 vNormal;
#endif
#ifdef HAS_TEXCOORD
layout(location = 2) in vec2 aTexcoord;
out vec2 vTexcoord;
#endif
#ifdef HAS_SKIN
layout(location = 3) in vec4 aJoints;
layout(location = 4) in vec4 aWeights;
uniform mat4 uJoints[MAX_JOINTS];
#endif
void main() {
#ifdef HAS_SKIN
    ivec4 j = clamp(ivec4(aJoints), 0, MAX_JOINTS - 1); // never outside the array
    mat4 skin = aWeights.x * uJoints[j.x] + aWeights.y * uJoints[j.y] + aWeights.z * uJoints[j.z] +
                aWeights.w * uJoints[j.w];
    vec4 p = skin * vec4(aPosition, 1.0);
#else
    vec4 p = uModelView * vec4(aPosition, 1.0);
#endif
    vViewPosition = p.xyz;
    gl_ClipDistance[0] = dot(uClipPlane, vec4(p.xyz, 1.0));
#ifdef HAS_NORMAL
#ifdef HAS_SKIN
    vNormal = mat3(skin) * aNormal;
#else
    vNormal = uNormalMatrix * aNormal;
#endif
#endif
#ifdef HAS_TEXCOORD
    vTexcoord = aTexcoord;
#endif
    gl_Position = uProjection * p;
}
)";

// Colours arrive as display (sRGB-encoded) values, as colour pickers give them: shading
// happens in linear light and the result is encoded again for the framebuffer.
const char* const kFragmentBody = R"(
in vec3 vViewPosition;
#ifdef HAS_NORMAL
in vec3 vNormal;
#else
const vec3 vNormal = vec3(0.0); // lit by the triangle's plane
#endif
#ifdef HAS_TEXCOORD
in vec2 vTexcoord;
#else
const vec2 vTexcoord = vec2(0.0);
#endif
uniform vec4 uDiffuse;
uniform bool uHasTexture;
uniform vec4 uTextureScale; // applied to texels in linear light, then the bias added
uniform vec4 uTextureBias;
uniform sampler2D uTexture;
uniform bool uPhysicallyBased;
uniform float uMetalness;
uniform float uRoughness;
uniform vec3 uLightPosition; // view space
uniform vec3 uViewUp;        // the world's up axis in view space
uniform bool uCapInside;     // a section is on: what is seen of a surface's inside is the cut
uniform vec3 uCapColour;
out vec4 fragColor;

const float PI = 3.14159265;
const float KEY_LIGHT = 0.5;

vec3 toLinear(vec3 c) { return pow(max(c, vec3(0.0)), vec3(2.2)); }
vec3 toDisplay(vec3 c) { return pow(clamp(c, 0.0, 1.0), vec3(1.0 / 2.2)); }

float ggx(float nh, float a) {
    float a2 = a * a;
    float d = nh * nh * (a2 - 1.0) + 1.0;
    return a2 / (PI * d * d);
}

float smithSchlick(float nv, float nl, float a) {
    float k = (a + 1.0) * (a + 1.0) / 8.0;
    return (nv / (nv * (1.0 - k) + k)) * (nl / (nl * (1.0 - k) + k));
}

void main() {
    if (uCapInside && !gl_FrontFacing) {
        fragColor = vec4(uCapColour, 1.0);
        return;
    }
    vec4 base = uHasTexture ? texture(uTexture, vTexcoord) : uDiffuse;
    vec3 albedo = toLinear(base.rgb);
    if (uHasTexture) {
        albedo = clamp(albedo * uTextureScale.rgb + uTextureBias.rgb, 0.0, 1.0);
        base.a = clamp(base.a * uTextureScale.a + uTextureBias.a, 0.0, 1.0) * uDiffuse.a;
    }

    vec3 v = normalize(-vViewPosition);
    // Light the side we see. The triangle's own plane says which side that is: files whose
    // normals disagree with their winding (common in STL) and the back of double-sided
    // surfaces both get their normal turned towards the eye.
    vec3 face = cross(dFdx(vViewPosition), dFdy(vViewPosition));
    bool hasFace = dot(face, face) > 1e-20;
    // Many STL writers leave every facet normal at zero: shade those by the triangle's plane.
    vec3 n = dot(vNormal, vNormal) > 1e-12 ? normalize(vNormal) : (hasFace ? normalize(face) : vec3(0.0, 0.0, 1.0));
    if (hasFace) {
        face *= sign(dot(face, v));
        if (dot(n, face) < 0.0) n = -n;
    } else if (!gl_FrontFacing) {
        n = -n; // lines have no plane: fall back to the winding
    }
    vec3 l = normalize(uLightPosition - vViewPosition);
    float nl = max(dot(n, l), 0.0);
    float nv = max(dot(n, v), 1e-4);

    // Sky above, darker ground below: keeps faces turned from the light readable. The key
    // light and the sky together stay below full white, so a white model keeps its shades
    // (about 0.35 to 0.85 once encoded) and stands apart from a light window background.
    float up = dot(n, uViewUp) * 0.5 + 0.5;
    vec3 ambient = mix(vec3(0.09), vec3(0.2), up);

    vec3 colour;
    if (uPhysicallyBased) {
        float metal = clamp(uMetalness, 0.0, 1.0);
        float a = max(uRoughness * uRoughness, 0.02);
        vec3 h = normalize(l + v);
        float nh = max(dot(n, h), 0.0);
        vec3 f0 = mix(vec3(0.04), albedo, metal);
        vec3 f = f0 + (1.0 - f0) * pow(1.0 - max(dot(h, v), 0.0), 5.0);
        vec3 specular = f * ggx(nh, a) * smithSchlick(nv, nl, a) / (4.0 * nv * max(nl, 1e-4));
        vec3 diffuse = (1.0 - f) * (1.0 - metal) * albedo / PI;
        vec3 ambientSpecular = mix(vec3(0.04), albedo, metal) * ambient * (1.0 - 0.5 * a);
        colour = (diffuse + specular) * PI * KEY_LIGHT * nl + albedo * (1.0 - metal) * ambient + ambientSpecular;
    } else {
        colour = albedo * (KEY_LIGHT * nl + ambient);
    }
    fragColor = vec4(toDisplay(colour), base.a);
}
)";

std::string withVariant(const char* body, SurfaceVariant variant) {
    std::string source = "#version 330 core\n";
    if (variant.normals) source += "#define HAS_NORMAL\n";
    if (variant.texcoords) source += "#define HAS_TEXCOORD\n";
    if (variant.skinned) source += "#define HAS_SKIN\n#define MAX_JOINTS " + std::to_string(kMaxJoints) + "\n";
    return source + body;
}

} // namespace

std::string surfaceVertexShader(SurfaceVariant variant) { return withVariant(kVertexBody, variant); }
std::string surfaceFragmentShader(SurfaceVariant variant) { return withVariant(kFragmentBody, variant); }

} // namespace trimeo::gl
