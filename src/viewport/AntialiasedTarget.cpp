#include "AntialiasedTarget.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
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
        release();
        GLint largest = 0;
        gl_->glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
        const bool doubled = mode_ == Mode::supersampled && size.width() * 2 <= largest && size.height() * 2 <= largest;
        const QSize drawn = doubled ? size * 2 : size;
        if (drawn.width() > largest || drawn.height() > largest) return {};
        const GLsizei samples = mode_ == Mode::multisampled ? 4 : 0;
        gl_->glGenFramebuffers(1, &framebuffer_);
        gl_->glGenRenderbuffers(1, &colour_);
        gl_->glGenRenderbuffers(1, &depth_);
        gl_->glBindRenderbuffer(GL_RENDERBUFFER, colour_);
        gl_->glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, drawn.width(), drawn.height());
        gl_->glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        gl_->glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, drawn.width(),
                                              drawn.height());
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        gl_->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
        gl_->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        if (gl_->glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            release();
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
    gl_->glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    gl_->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    // Halving with linear filtering samples each output pixel at the corner shared by its
    // four source pixels: their plain average.
    gl_->glBlitFramebuffer(0, 0, drawn_.width(), drawn_.height(), 0, 0, output_.width(), output_.height(),
                           GL_COLOR_BUFFER_BIT, drawn_ == output_ ? GL_NEAREST : GL_LINEAR);
    gl_->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void AntialiasedTarget::release() {
    if (gl_ && framebuffer_) {
        gl_->glDeleteFramebuffers(1, &framebuffer_);
        gl_->glDeleteRenderbuffers(1, &colour_);
        gl_->glDeleteRenderbuffers(1, &depth_);
    }
    framebuffer_ = colour_ = depth_ = 0;
    output_ = drawn_ = {};
}

} // namespace trimeo::gl
