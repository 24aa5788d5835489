// Reads the depth-buffer value of one pixel of a frame already drawn, multisampled or
// not: the pixel is copied into a one-pixel framebuffer of its own and read there, so
// picking costs no extra frame. Needs the owning OpenGL context current for every call.
#pragma once

#include <optional>

namespace trimeo::gl {

class DepthProbe {
public:
    DepthProbe() = default;
    ~DepthProbe(); // call release() first while the context is current
    DepthProbe(const DepthProbe&) = delete;
    DepthProbe& operator=(const DepthProbe&) = delete;

    // The depth (0 near, 1 far) at pixel (x, y), origin bottom left, of framebuffer `source`,
    // whose depth attachment is GL_DEPTH_COMPONENT24. Nothing when the read fails. Leaves
    // `source` bound.
    std::optional<float> read(unsigned source, int x, int y);

    void release();

private:
    unsigned framebuffer_ = 0, depth_ = 0;
};

} // namespace trimeo::gl
