#include "OffscreenRenderer.h"

#include "CameraMath.h"
#include "GLSceneRenderer.h"
#include "PointOfView.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>

#include <chrono>
#include <cmath>
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

struct OffscreenRenderer::Impl {
    QOffscreenSurface surface;
    QOpenGLContext context;
    gl::GLSceneRenderer renderer;
    std::optional<gl::AntialiasedTarget> target;
    bool valid = false;
    std::string error;
};

OffscreenRenderer::OffscreenRenderer(std::optional<gl::AntialiasedTarget::Mode> antialiasing)
    : d(std::make_unique<Impl>()) {
    d->context.setFormat(viewportSurfaceFormat());
    if (!d->context.create()) {
        d->error = "cannot create an OpenGL context";
        return;
    }
    d->surface.setFormat(d->context.format());
    d->surface.create();
    if (!d->surface.isValid() || !d->context.makeCurrent(&d->surface)) {
        d->error = "cannot make the OpenGL context current";
        return;
    }
    const QSurfaceFormat got = d->context.format();
    if (got.version() < qMakePair(3, 3)) {
        d->error = "OpenGL 3.3 is not available";
        return;
    }
    d->target.emplace(antialiasing.value_or(gl::AntialiasedTarget::modeForCurrentContext()));
    d->valid = d->renderer.initialize(&d->error);
}

OffscreenRenderer::~OffscreenRenderer() {
    if (d->context.makeCurrent(&d->surface)) {
        d->renderer.release();
        if (d->target) d->target->release();
        d->context.doneCurrent();
    }
}

bool OffscreenRenderer::isValid() const { return d->valid; }
const std::string& OffscreenRenderer::error() const { return d->error; }
gl::AntialiasedTarget::Mode OffscreenRenderer::antialiasing() const {
    return d->target ? d->target->mode() : gl::AntialiasedTarget::Mode::multisampled;
}

namespace {
double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

void OffscreenRenderer::setWireframe(bool wireframe) { d->renderer.setWireframe(wireframe); }

QImage OffscreenRenderer::render(std::shared_ptr<const scene::Scene> scene, QSize size, scene::Color background,
                                 const std::filesystem::path& resourceDirectory, Timings* timings,
                                 PreparedMeshes prepared) {
    if (!d->valid || size.isEmpty() || !d->context.makeCurrent(&d->surface)) return {};
    QOpenGLFramebufferObject resolved(size);
    const QSize drawn = d->target->bind(size);
    if (drawn.isEmpty() || !resolved.isValid()) return {};

    const PointOfView pov = findPointOfView(scene ? *scene : scene::Scene{});
    d->renderer.setScene(std::move(scene), resourceDirectory, std::move(prepared));
    const double aspect = double(size.width()) / double(size.height());
    const scene::Matrix4 view = inverseAffine(pov.world);
    const scene::Matrix4 projection = perspective(pov.camera.fieldOfView, aspect, pov.camera.zNear, pov.camera.zFar);
    double t = seconds();
    auto lap = [&] { // seconds since the previous lap, once the GL has done its work
        d->context.functions()->glFinish();
        const double previous = std::exchange(t, seconds());
        return t - previous;
    };
    if (timings) {
        d->renderer.prepare();
        timings->upload = lap();
    }
    d->renderer.render(view, projection, drawn.width(), drawn.height(), background);
    if (timings) timings->firstFrame = lap();
    d->target->resolveInto(resolved.handle());
    QImage image = resolved.toImage().convertToFormat(QImage::Format_RGB32);
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
    resolved.release();
    return image;
}

} // namespace trimeo
