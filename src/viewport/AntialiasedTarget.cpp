#include "AntialiasedTarget.h"

#include "GLProgram.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace trimeo::gl {

AntialiasedTarget::Mode AntialiasedTarget::modeForRenderer(std::string_view renderer) {
    std::string lower(renderer);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "swiftshader", "software"})
        if (lower.find(software) != std::string::npos) return Mode::supersampled;
    return Mode::multisampled;
}

AntialiasedTarget::Mode AntialiasedTarget::modeForCurrentContext() {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return modeForRenderer(name ? name : "");
}

AntialiasedTarget::AntialiasedTarget(Mode mode) : mode_(mode) {}
AntialiasedTarget::~AntialiasedTarget() = default;

namespace {
// A triangle covering the output; each pixel averages its four source pixels. (Software
// drivers make a scaled blit with linear filtering several times slower than this.)
const char* const kFilterVertex = R"(#version 330 core
void main() {
    vec2 p = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
    gl_Position = vec4(p * 2.0 - 1.0, 0.0, 1.0);
}
)";
const char* const kFilterFragment = R"(#version 330 core
uniform sampler2D uSource;
out vec4 fragColor;
void main() {
    ivec2 p = ivec2(gl_FragCoord.xy) * 2;
    fragColor = 0.25 * (texelFetch(uSource, p, 0) + texelFetch(uSource, p + ivec2(1, 0), 0) +
                        texelFetch(uSource, p + ivec2(0, 1), 0) + texelFetch(uSource, p + ivec2(1, 1), 0));
}
)";
} // namespace

bool AntialiasedTarget::makeFilter() {
    if (filter_) return true;
    filter_ = GLProgram::build(kFilterVertex, kFilterFragment);
    if (!filter_) return false;
    glGenVertexArrays(1, &filterArray_);
    return true;
}

QSize AntialiasedTarget::bind(QSize size) {
    if (size.isEmpty()) return {};
    if (size != output_ || !framebuffer_) {
        dropFramebuffer();
        GLint largest = 0;
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
        const bool doubled = mode_ == Mode::supersampled && size.width() * 2 <= largest &&
                             size.height() * 2 <= largest && makeFilter();
        const QSize drawn = doubled ? size * 2 : size;
        if (drawn.width() > largest || drawn.height() > largest) return {};
        const GLsizei samples = mode_ == Mode::multisampled ? 4 : 0;
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        if (doubled) {
            glGenTextures(1, &colour_);
            glBindTexture(GL_TEXTURE_2D, colour_);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, drawn.width(), drawn.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                              nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glBindTexture(GL_TEXTURE_2D, 0);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
        } else {
            glGenRenderbuffers(1, &colour_);
            glBindRenderbuffer(GL_RENDERBUFFER, colour_);
            glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, drawn.width(), drawn.height());
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
        }
        doubled_ = doubled;
        glGenRenderbuffers(1, &depth_);
        glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, drawn.width(),
                                              drawn.height());
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            dropFramebuffer();
            return {};
        }
        output_ = size;
        drawn_ = drawn;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return drawn_;
}

void AntialiasedTarget::resolveInto(unsigned framebuffer) {
    if (!framebuffer_) return;
    if (!doubled_) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        glBlitFramebuffer(0, 0, drawn_.width(), drawn_.height(), 0, 0, output_.width(), output_.height(),
                               GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        return;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, output_.width(), output_.height());
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, colour_);
    filter_->bind();
    glUniform1i(filter_->uniformLocation("uSource"), 0);
    glBindVertexArray(filterArray_);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void AntialiasedTarget::release() {
    dropFramebuffer();
    filter_.reset();
    if (filterArray_) glDeleteVertexArrays(1, &filterArray_);
    filterArray_ = 0;
}

void AntialiasedTarget::dropFramebuffer() {
    if (framebuffer_) {
        glDeleteFramebuffers(1, &framebuffer_);
        if (doubled_) glDeleteTextures(1, &colour_);
        else glDeleteRenderbuffers(1, &colour_);
        glDeleteRenderbuffers(1, &depth_);
    }
    framebuffer_ = colour_ = depth_ = 0;
    doubled_ = false;
    output_ = drawn_ = {};
}

} // namespace trimeo::gl
