#include "AntialiasedTarget.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVersionFunctionsFactory>

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
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context) return Mode::multisampled;
    const auto* name = reinterpret_cast<const char*>(context->functions()->glGetString(GL_RENDERER));
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
    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, kFilterVertex) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFilterFragment) || !program->link())
        return false;
    filter_ = std::move(program);
    gl_->glGenVertexArrays(1, &filterArray_);
    return true;
}

QSize AntialiasedTarget::bind(QSize size) {
    if (size.isEmpty()) return {};
    if (!gl_) {
        QOpenGLContext* context = QOpenGLContext::currentContext();
        gl_ = context ? QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(context) : nullptr;
        if (!gl_ || !gl_->initializeOpenGLFunctions()) {
            gl_ = nullptr;
            return {};
        }
    }
    if (size != output_ || !framebuffer_) {
        dropFramebuffer();
        GLint largest = 0;
        gl_->glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
        const bool doubled = mode_ == Mode::supersampled && size.width() * 2 <= largest &&
                             size.height() * 2 <= largest && makeFilter();
        const QSize drawn = doubled ? size * 2 : size;
        if (drawn.width() > largest || drawn.height() > largest) return {};
        const GLsizei samples = mode_ == Mode::multisampled ? 4 : 0;
        gl_->glGenFramebuffers(1, &framebuffer_);
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        if (doubled) {
            gl_->glGenTextures(1, &colour_);
            gl_->glBindTexture(GL_TEXTURE_2D, colour_);
            gl_->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, drawn.width(), drawn.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                              nullptr);
            gl_->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            gl_->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            gl_->glBindTexture(GL_TEXTURE_2D, 0);
            gl_->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
        } else {
            gl_->glGenRenderbuffers(1, &colour_);
            gl_->glBindRenderbuffer(GL_RENDERBUFFER, colour_);
            gl_->glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, drawn.width(), drawn.height());
            gl_->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
        }
        doubled_ = doubled;
        gl_->glGenRenderbuffers(1, &depth_);
        gl_->glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        gl_->glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, drawn.width(),
                                              drawn.height());
        gl_->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        if (gl_->glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            dropFramebuffer();
            return {};
        }
        output_ = size;
        drawn_ = drawn;
    }
    gl_->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return drawn_;
}

void AntialiasedTarget::resolveInto(GLuint framebuffer) {
    if (!gl_ || !framebuffer_) return;
    if (!doubled_) {
        gl_->glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        gl_->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        gl_->glBlitFramebuffer(0, 0, drawn_.width(), drawn_.height(), 0, 0, output_.width(), output_.height(),
                               GL_COLOR_BUFFER_BIT, GL_NEAREST);
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        return;
    }
    gl_->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl_->glViewport(0, 0, output_.width(), output_.height());
    gl_->glDisable(GL_DEPTH_TEST);
    gl_->glDisable(GL_BLEND);
    gl_->glDisable(GL_CULL_FACE);
    gl_->glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gl_->glActiveTexture(GL_TEXTURE0);
    gl_->glBindTexture(GL_TEXTURE_2D, colour_);
    filter_->bind();
    filter_->setUniformValue("uSource", 0);
    gl_->glBindVertexArray(filterArray_);
    gl_->glDrawArrays(GL_TRIANGLES, 0, 3);
    gl_->glBindVertexArray(0);
    filter_->release();
    gl_->glBindTexture(GL_TEXTURE_2D, 0);
}

void AntialiasedTarget::release() {
    dropFramebuffer();
    filter_.reset();
    if (gl_ && filterArray_) gl_->glDeleteVertexArrays(1, &filterArray_);
    filterArray_ = 0;
}

void AntialiasedTarget::dropFramebuffer() {
    if (gl_ && framebuffer_) {
        gl_->glDeleteFramebuffers(1, &framebuffer_);
        if (doubled_) gl_->glDeleteTextures(1, &colour_);
        else gl_->glDeleteRenderbuffers(1, &colour_);
        gl_->glDeleteRenderbuffers(1, &depth_);
    }
    framebuffer_ = colour_ = depth_ = 0;
    doubled_ = false;
    output_ = drawn_ = {};
}

} // namespace trimeo::gl
