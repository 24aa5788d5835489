// Entry points come from libepoxy, which must be included before any Qt OpenGL header.
#include <epoxy/gl.h>

#include "OffscreenRenderer.h"

#include "CameraMath.h"
#include "EglContext.h"
#include "GLSceneRenderer.h"
#include "PictureFit.h"
#include "PointOfView.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <utility>

namespace trimeo {

QSurfaceFormat viewportSurfaceFormat() {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(3, 3);
    f.setProfile(QSurfaceFormat::CoreProfile);
    f.setDepthBufferSize(24);
    return f;
}

ContextSource contextSourceForEnvironment() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland) ? ContextSource::windowSystem : ContextSource::egl;
}

struct OffscreenRenderer::Impl {
    // Exactly one of the two contexts exists.
    std::unique_ptr<QOffscreenSurface> surface;
    std::unique_ptr<QOpenGLContext> context;
    std::unique_ptr<EglContext> egl;
    gl::GLSceneRenderer renderer;
    std::optional<gl::AntialiasedTarget> target;
    double fillFraction = 0;
    std::optional<OffscreenRenderer::Section> section;
    bool releasesUploadedVertices = false;
    bool valid = false;
    std::string error;

    bool makeCurrent() {
        if (egl) return egl->makeCurrent();
        return context && context->makeCurrent(surface.get());
    }
    bool createWindowSystemContext();
    bool createEglContext();
};

bool OffscreenRenderer::Impl::createWindowSystemContext() {
    // Compatibility first: there a software driver draws from the model's own arrays (see
    // GLMeshCache); core where the driver offers no 3.3 compatibility context.
    for (auto profile : {QSurfaceFormat::CompatibilityProfile, QSurfaceFormat::CoreProfile}) {
        QSurfaceFormat format = viewportSurfaceFormat();
        format.setProfile(profile);
        context = std::make_unique<QOpenGLContext>();
        context->setFormat(format);
        if (context->create() && context->format().version() >= qMakePair(3, 3)) break;
    }
    if (!context->isValid()) {
        error = "cannot create an OpenGL context";
        return false;
    }
    surface = std::make_unique<QOffscreenSurface>();
    surface->setFormat(context->format());
    surface->create();
    if (!surface->isValid() || !context->makeCurrent(surface.get())) {
        error = "cannot make the OpenGL context current";
        return false;
    }
    if (context->format().version() < qMakePair(3, 3)) {
        error = "OpenGL 3.3 is not available";
        return false;
    }
    return true;
}

bool OffscreenRenderer::Impl::createEglContext() {
    try {
        egl = std::make_unique<EglContext>();
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

OffscreenRenderer::OffscreenRenderer(std::optional<gl::AntialiasedTarget::Mode> antialiasing, ContextSource source)
    : d(std::make_unique<Impl>()) {
    if (!(source == ContextSource::egl ? d->createEglContext() : d->createWindowSystemContext())) return;
    d->target.emplace(antialiasing.value_or(gl::AntialiasedTarget::modeForCurrentContext()));
    d->valid = d->renderer.initialize(&d->error);
}

OffscreenRenderer::~OffscreenRenderer() {
    if (d->makeCurrent()) {
        d->renderer.release();
        if (d->target) d->target->release();
        if (d->context) d->context->doneCurrent();
    }
}

bool OffscreenRenderer::isValid() const { return d->valid; }
const std::string& OffscreenRenderer::error() const { return d->error; }
gl::AntialiasedTarget::Mode OffscreenRenderer::antialiasing() const {
    return d->target ? d->target->mode() : gl::AntialiasedTarget::Mode::multisampled;
}
void OffscreenRenderer::setFillFraction(double fraction) { d->fillFraction = fraction; }

namespace {

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The single-sampled picture the antialiased frame resolves into, read back from here.
class ResolvedFramebuffer {
public:
    explicit ResolvedFramebuffer(QSize size) {
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glGenRenderbuffers(1, &colour_);
        glBindRenderbuffer(GL_RENDERBUFFER, colour_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.width(), size.height());
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
        valid_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    ~ResolvedFramebuffer() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteRenderbuffers(1, &colour_);
        glDeleteFramebuffers(1, &framebuffer_);
    }
    ResolvedFramebuffer(const ResolvedFramebuffer&) = delete;
    ResolvedFramebuffer& operator=(const ResolvedFramebuffer&) = delete;
    bool isValid() const { return valid_; }
    GLuint handle() const { return framebuffer_; }

    // The frame is drawn over a cleared, possibly transparent background with blending that
    // adds coverage to alpha, so its colours are premultiplied; GL's rows run bottom up.
    QImage read(QSize size) const {
        QImage image(size, QImage::Format_RGBA8888_Premultiplied);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
        return image.mirrored();
    }

private:
    GLuint framebuffer_ = 0, colour_ = 0;
    bool valid_ = false;
};

} // namespace

void OffscreenRenderer::setWireframe(bool wireframe) { d->renderer.setWireframe(wireframe); }

void OffscreenRenderer::setSection(std::optional<Section> section) { d->section = std::move(section); }

void OffscreenRenderer::setReleasesUploadedVertices(bool release) { d->releasesUploadedVertices = release; }

bool OffscreenRenderer::drawsFromSceneArrays() const { return d->renderer.drawsFromSceneArrays(); }

namespace {

void releaseVertices(const scene::Node& root) {
    auto release = [](const scene::Node& node) {
        if (!node.geometry) return;
        for (scene::GeometrySource& source : node.geometry->sources) std::vector<float>().swap(source.data);
        for (scene::GeometryElement& element : node.geometry->elements) std::vector<std::uint32_t>().swap(element.indices);
    };
    release(root);
    root.enumerateChildNodes([&](const scene::Node::Ptr& node) { release(*node); });
}

} // namespace

QImage OffscreenRenderer::render(std::shared_ptr<const scene::Scene> scene, QSize size, scene::Color background,
                                 const std::filesystem::path& resourceDirectory, Timings* timings,
                                 PreparedMeshes prepared) {
    if (!d->valid || size.isEmpty() || !d->makeCurrent()) return {};
    ResolvedFramebuffer resolved(size);
    const QSize drawn = d->target->bind(size);
    if (drawn.isEmpty() || !resolved.isValid()) return {};

    const PointOfView pov = findPointOfView(scene ? *scene : scene::Scene{});
    const scene::Matrix4 view = inverseAffine(pov.world);
    const double aspect = double(size.width()) / double(size.height());
    scene::Matrix4 projection = perspective(pov.camera.fieldOfView, aspect, pov.camera.zNear, pov.camera.zFar);
    if (d->fillFraction > 0 && scene && scene->rootNode)
        projection = fitProjection(projection, view, *scene->rootNode, d->fillFraction);
    const std::shared_ptr<const scene::Scene> oneOff = d->releasesUploadedVertices ? scene : nullptr;
    d->renderer.setScene(std::move(scene), resourceDirectory, std::move(prepared));
    double t = seconds();
    auto lap = [&] { // seconds since the previous lap, once the GL has done its work
        glFinish();
        const double previous = std::exchange(t, seconds());
        return t - previous;
    };
    if (timings || oneOff) d->renderer.prepare();
    if (timings) timings->upload = lap();
    // Arrays the draws read in place are the only copy: they stay.
    if (oneOff && oneOff->rootNode && !d->renderer.drawsFromSceneArrays()) releaseVertices(*oneOff->rootNode);
    if (d->section)
        d->renderer.setSection(gl::GLSceneRenderer::Section{
            sectionPlaneInView(d->section->axis, d->section->fraction, d->section->box,
                               view * d->section->worldFromModel),
            d->section->capColor});
    else
        d->renderer.setSection(std::nullopt);
    d->renderer.render(view, projection, drawn.width(), drawn.height(), background);
    if (timings) timings->firstFrame = lap();
    d->target->resolveInto(resolved.handle());
    const QImage read = resolved.read(size);
    QImage image = read.convertToFormat(background.a < 1 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (timings) timings->readBack = lap();
    if (timings && timings->orbitFrames > 0) {
        // Turning the world about the vertical axis through the origin, where framing put
        // the model, is what an orbit around it looks like.
        for (int i = 1; i <= timings->orbitFrames; ++i) {
            const double angle = 2 * M_PI * i / timings->orbitFrames;
            const auto turn = scene::Matrix4::compose({}, scene::Quaternion::fromAxisAngle({0, 1, 0}, angle), {1, 1, 1});
            d->target->bind(size);
            d->renderer.render(view * turn, projection, drawn.width(), drawn.height(), background);
            d->target->resolveInto(resolved.handle());
        }
        timings->orbit = lap();
    }
    d->renderer.setScene(nullptr);
    return image;
}

} // namespace trimeo
