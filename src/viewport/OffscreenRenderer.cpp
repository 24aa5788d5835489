#include "OffscreenRenderer.h"

#include "CameraMath.h"
#include "GLSceneRenderer.h"
#include "PointOfView.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

namespace trimeo {

QSurfaceFormat viewportSurfaceFormat() {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(3, 3);
    f.setProfile(QSurfaceFormat::CoreProfile);
    f.setDepthBufferSize(24);
    f.setSamples(4);
    return f;
}

struct OffscreenRenderer::Impl {
    QOffscreenSurface surface;
    QOpenGLContext context;
    gl::GLSceneRenderer renderer;
    bool valid = false;
    std::string error;
};

OffscreenRenderer::OffscreenRenderer() : d(std::make_unique<Impl>()) {
    QSurfaceFormat format = viewportSurfaceFormat();
    format.setSamples(0); // multisampling lives in our framebuffer object, not the surface
    d->context.setFormat(format);
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
    d->valid = d->renderer.initialize(&d->error);
}

OffscreenRenderer::~OffscreenRenderer() {
    if (d->context.makeCurrent(&d->surface)) {
        d->renderer.release();
        d->context.doneCurrent();
    }
}

bool OffscreenRenderer::isValid() const { return d->valid; }
const std::string& OffscreenRenderer::error() const { return d->error; }

QImage OffscreenRenderer::render(std::shared_ptr<const scene::Scene> scene, QSize size, scene::Color background,
                                 const std::filesystem::path& resourceDirectory) {
    if (!d->valid || size.isEmpty() || !d->context.makeCurrent(&d->surface)) return {};
    QOpenGLFramebufferObjectFormat msaa;
    msaa.setAttachment(QOpenGLFramebufferObject::Depth);
    msaa.setSamples(4);
    QOpenGLFramebufferObject target(size, msaa);
    QOpenGLFramebufferObject resolved(size);
    if (!target.isValid() || !resolved.isValid()) return {};

    const PointOfView pov = findPointOfView(scene ? *scene : scene::Scene{});
    d->renderer.setScene(std::move(scene), resourceDirectory);
    target.bind();
    const double aspect = double(size.width()) / double(size.height());
    d->renderer.render(inverseAffine(pov.world), perspective(pov.camera.fieldOfView, aspect, pov.camera.zNear,
                                                             pov.camera.zFar),
                       size.width(), size.height(), background);
    QOpenGLFramebufferObject::blitFramebuffer(&resolved, &target);
    QImage image = resolved.toImage().convertToFormat(QImage::Format_RGB32);
    d->renderer.setScene(nullptr);
    target.release();
    return image;
}

} // namespace trimeo
