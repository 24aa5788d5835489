#include "DepthProbe.h"

#include <epoxy/gl.h>

namespace trimeo::gl {

DepthProbe::~DepthProbe() = default;

std::optional<float> DepthProbe::read(unsigned source, int x, int y) {
    if (!framebuffer_) {
        glGenFramebuffers(1, &framebuffer_);
        glGenRenderbuffers(1, &depth_);
        glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        // The same format as the frame's: a depth blit copies only between equal formats.
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, 1, 1);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
    // One pixel to one pixel: also the one shape a multisampled source may be blitted in.
    glBlitFramebuffer(x, y, x + 1, y + 1, 0, 0, 1, 1, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    float depth = 1.0f;
    glReadPixels(0, 0, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    const bool failed = glGetError() != GL_NO_ERROR;
    glBindFramebuffer(GL_FRAMEBUFFER, source);
    if (failed) return std::nullopt;
    return depth;
}

void DepthProbe::release() {
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (depth_) glDeleteRenderbuffers(1, &depth_);
    framebuffer_ = depth_ = 0;
}

} // namespace trimeo::gl
