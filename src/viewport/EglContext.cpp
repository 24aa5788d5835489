#include "EglContext.h"

#include "formats/common/LoaderError.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace trimeo {
namespace {

bool hasExtension(const char* list, std::string_view name) {
    if (!list) return false;
    std::string_view all(list);
    for (std::size_t at = 0; (at = all.find(name, at)) != std::string_view::npos; at += name.size()) {
        const bool starts = at == 0 || all[at - 1] == ' ';
        const bool ends = at + name.size() == all.size() || all[at + name.size()] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

EGLDisplay initialized(EGLDisplay display) {
    if (display == EGL_NO_DISPLAY) return EGL_NO_DISPLAY;
    EGLint major = 0, minor = 0;
    if (eglInitialize(display, &major, &minor)) return display;
    return EGL_NO_DISPLAY;
}

// Surfaceless needs no device node (Mesa falls back to software rendering without one);
// an EGL device covers drivers that do not offer it, such as NVIDIA's.
EGLDisplay openDisplay(std::optional<EglContext::Platform> only) {
    using Platform = EglContext::Platform;
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(client, "EGL_EXT_platform_base")) return EGL_NO_DISPLAY;
    if (only != Platform::device && hasExtension(client, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay d =
            initialized(eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
        if (d != EGL_NO_DISPLAY) return d;
    }
    if (only != Platform::surfaceless && hasExtension(client, "EGL_EXT_platform_device") &&
        hasExtension(client, "EGL_EXT_device_enumeration")) {
        EGLint count = 0;
        if (!eglQueryDevicesEXT(0, nullptr, &count) || count <= 0) return EGL_NO_DISPLAY;
        std::vector<EGLDeviceEXT> devices(std::size_t(std::min(count, 16)));
        if (!eglQueryDevicesEXT(EGLint(devices.size()), devices.data(), &count)) return EGL_NO_DISPLAY;
        for (EGLint i = 0; i < count && i < EGLint(devices.size()); ++i) {
            EGLDisplay d =
                initialized(eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[std::size_t(i)], nullptr));
            if (d != EGL_NO_DISPLAY) return d;
        }
    }
    return EGL_NO_DISPLAY;
}

} // namespace

EglContext::EglContext(std::optional<Platform> only) {
    EGLDisplay display = openDisplay(only);
    if (display == EGL_NO_DISPLAY)
        throw PlatformError("no EGL display without a window system (neither Mesa's surfaceless platform nor an EGL "
                            "device could be opened); install Mesa's EGL driver (libegl-mesa0)");
    display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        eglTerminate(display);
        throw PlatformError("the EGL driver offers no desktop OpenGL");
    }
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    const bool surfaceless = hasExtension(extensions, "EGL_KHR_surfaceless_context");
    EGLConfig config = EGL_NO_CONFIG_KHR;
    if (!surfaceless || !hasExtension(extensions, "EGL_KHR_no_config_context")) {
        const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                 EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_NONE};
        EGLint found = 0;
        if (!eglChooseConfig(display, wanted, &config, 1, &found) || found < 1) {
            eglTerminate(display);
            throw PlatformError("the EGL driver offers no configuration for desktop OpenGL");
        }
    }
    // Compatibility first: there a software driver draws from the model's own arrays (see
    // GLMeshCache); core where the driver offers no 3.3 compatibility context.
    for (EGLint profile : {EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT}) {
        const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK, profile, EGL_NONE};
        context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
        if (context_ != EGL_NO_CONTEXT) break;
    }
    if (context_ == EGL_NO_CONTEXT) {
        eglTerminate(display);
        throw PlatformError("the EGL driver cannot make an OpenGL 3.3 context");
    }
    if (!surfaceless) {
        const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        surface_ = eglCreatePbufferSurface(display, config, size);
    }
    if (!makeCurrent()) {
        eglDestroyContext(display, context_);
        if (surface_) eglDestroySurface(display, surface_);
        eglTerminate(display);
        throw PlatformError("the EGL context cannot be made current");
    }
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    renderer_ = name ? name : "";
}

EglContext::~EglContext() {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    if (surface_) eglDestroySurface(display_, surface_);
    eglTerminate(display_);
}

bool EglContext::makeCurrent() {
    EGLSurface surface = surface_ ? static_cast<EGLSurface>(surface_) : EGL_NO_SURFACE;
    return eglMakeCurrent(display_, surface, surface, context_) == EGL_TRUE;
}

} // namespace trimeo
