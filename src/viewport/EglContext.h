// An OpenGL 3.3 context (compatibility profile where offered, else core) made through EGL
// without any window system: Mesa's surfaceless platform first, else the first EGL device
// that gives one. No X or Wayland connection is opened, so it works with no display at all
// and inside sandboxes; it has no window surface and draws only into framebuffer objects.
#pragma once

#include <optional>
#include <string>

namespace trimeo {

class EglContext {
public:
    enum class Platform { surfaceless, device };
    // Makes the context and makes it current on this thread: on `only` that platform, or on
    // the first that works. Throws PlatformError, naming what was missing, when no such
    // context can be made.
    explicit EglContext(std::optional<Platform> only = std::nullopt);
    ~EglContext();
    EglContext(const EglContext&) = delete;
    EglContext& operator=(const EglContext&) = delete;

    // False when the context could not be made current on this thread again.
    bool makeCurrent();
    // The driver's GL_RENDERER text, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
    const std::string& renderer() const { return renderer_; }

private:
    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr; // a 1 x 1 pbuffer where surfaceless contexts are not offered
    std::string renderer_;
};

} // namespace trimeo
