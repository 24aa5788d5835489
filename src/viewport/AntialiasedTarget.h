// Where a frame is drawn before it reaches the screen or an image. On graphics hardware
// it is 4x multisampled. On a software rasteriser it is drawn at twice the width and
// height and filtered down: there a frame of a big mesh is bound by triangle set-up, so
// four times the pixels cost little, while multisampling costs about three times the frame.
// Every call needs the owning OpenGL context current.
#pragma once

#include <QSize>

#include <memory>
#include <string_view>

namespace trimeo::gl {

class GLProgram;

class AntialiasedTarget {
public:
    enum class Mode { multisampled, supersampled };
    // The mode for a driver, from its GL_RENDERER string.
    static Mode modeForRenderer(std::string_view renderer);
    // The mode for the current context's driver.
    static Mode modeForCurrentContext();

    explicit AntialiasedTarget(Mode mode);
    ~AntialiasedTarget(); // call release() first while the context is current
    AntialiasedTarget(const AntialiasedTarget&) = delete;
    AntialiasedTarget& operator=(const AntialiasedTarget&) = delete;

    Mode mode() const { return mode_; }

    // Binds the frame's framebuffer for an output of `size` pixels, (re)making it when the
    // size changed, and returns the size to draw at. An empty size when none could be made.
    QSize bind(QSize size);
    // Resolves the frame just drawn into `framebuffer` (0 is the context's default) at the
    // size given to bind(), and leaves that framebuffer bound.
    void resolveInto(unsigned framebuffer);

    // The framebuffer bind() draws into; its depth stays readable until the next bind().
    unsigned framebuffer() const { return framebuffer_; }

    // Frees every GL object. Needs the context current; safe to call twice.
    void release();

private:
    bool makeFilter();
    void dropFramebuffer();

    Mode mode_;
    QSize output_, drawn_;
    unsigned framebuffer_ = 0, colour_ = 0, depth_ = 0; // colour_: a renderbuffer, or a texture when doubled
    bool doubled_ = false;
    std::unique_ptr<GLProgram> filter_; // averages each 2 x 2 block
    unsigned filterArray_ = 0;
};

} // namespace trimeo::gl
