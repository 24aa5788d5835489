#include "SceneKitView.h"

#include "AnimatedNodes.h"
#include "AntialiasedTarget.h"
#include "CameraMath.h"
#include "GLSceneRenderer.h"
#include "LiveViewOptions.h"
#include "LoadPipeline.h"
#include "NodeAnimator.h"
#include "OffscreenRenderer.h"
#include "OrbitCamera.h"
#include "PointOfView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPalette>
#include <QThreadPool>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <utility>
#include <filesystem>

namespace trimeo {
namespace {

std::optional<std::filesystem::path> pathOf(const std::optional<QUrl>& url) {
    if (!url) return std::nullopt;
    return std::filesystem::path((url->isLocalFile() ? url->toLocalFile() : url->path()).toStdString());
}

// Lets the GUI-thread step of a load find its viewport, or learn that it is gone.
struct ViewHandle {
    SceneKitView* view;
};

} // namespace

struct SceneKitView::Impl {
    QByteArray data;
    std::optional<QUrl> fileURL;
    bool showWireframe = false;
    bool playing = false;        // the host's option
    bool hasAnimations = false;  // as the load reported
    Coordinator coordinator;
    std::shared_ptr<scene::Scene> scene;
    bool viewIsPlaying = false;
    std::shared_ptr<ViewHandle> handle;

    gl::GLSceneRenderer renderer;
    std::optional<gl::AntialiasedTarget> target;
    bool rendererReady = false;
    QMetaObject::Connection contextConnection;
    bool sceneChanged = false;
    PreparedMeshes preparedMeshes; // from the load, handed to the renderer with the scene
    std::filesystem::path resourceDirectory;

    OrbitCamera orbit;
    bool userCamera = false;
    QPointF lastPointer;

    NodeAnimator animator;
    QElapsedTimer sinceLastFrame;
    QTimer frameTimer;

    void finishLoad(SceneKitView& view, LoadOutcome outcome);
    void applyPlayback();
    PointOfView pointOfView() const { return findPointOfView(scene ? *scene : scene::Scene{}); }
};

SceneKitView::SceneKitView(QByteArray data, std::optional<QUrl> fileURL, bool showWireframe, QWidget* parent)
    : QOpenGLWidget(parent), d(std::make_unique<Impl>()) {
    d->data = std::move(data);
    d->fileURL = std::move(fileURL);
    d->showWireframe = showWireframe;
    d->handle = std::make_shared<ViewHandle>(ViewHandle{this});

    setFormat(viewportSurfaceFormat());
    setFocusPolicy(Qt::StrongFocus);
    d->frameTimer.setInterval(16);
    connect(&d->frameTimer, &QTimer::timeout, this, [this] {
        const double seconds = d->sinceLastFrame.isValid() ? d->sinceLastFrame.restart() / 1000.0 : 0.0;
        if (!d->sinceLastFrame.isValid()) d->sinceLastFrame.start();
        if (d->animator.advance(seconds, d->viewIsPlaying)) update();
    });

    // The one load of this viewport. It carries copies and a weak handle only: a viewport
    // destroyed meanwhile is not touched, and its late result changes nothing the host shows.
    const QByteArray bytes = d->data;
    const auto path = pathOf(d->fileURL);
    std::weak_ptr<ViewHandle> weak = d->handle;
    QThreadPool::globalInstance()->start(
        [bytes, path, weak] {
            auto outcome = std::make_shared<LoadOutcome>(loadAndPresent(
                std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())),
                path));
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [weak, outcome] {
                    if (auto handle = weak.lock(); handle && handle->view)
                        handle->view->d->finishLoad(*handle->view, std::move(*outcome));
                },
                Qt::QueuedConnection);
        },
        1); // ahead of ordinary pool work: the user is waiting for this
}

SceneKitView::~SceneKitView() {
    d->handle->view = nullptr; // from here on a finishing load finds no viewport
    d->handle.reset();
    disconnect(d->contextConnection); // the base class destroys the context after d is gone
    if (d->rendererReady && context()) {
        makeCurrent();
        d->renderer.release();
        doneCurrent();
    }
}

void SceneKitView::Impl::finishLoad(SceneKitView& view, LoadOutcome outcome) {
    // The signal is the last thing done here: its slot may delete the view.
    if (auto* failure = std::get_if<LoadFailure>(&outcome)) {
        emit view.failed(QString::fromStdString(failure->description));
        return;
    }
    auto& presented = std::get<PresentedModel>(outcome);
    scene = presented.scene;
    preparedMeshes = std::move(presented.meshes);
    sceneChanged = true;
    if (auto path = pathOf(fileURL)) resourceDirectory = std::filesystem::absolute(*path).parent_path();
    animator.setScene(scene->rootNode);
    hasAnimations = presented.loadResult.hasAnimations;
    if (hasAnimations) collectAnimatedNodes(scene->rootNode, coordinator.animationNodes);
    applyPlayback();
    view.update();
    emit view.loaded(hasAnimations);
}

void SceneKitView::Impl::applyPlayback() {
    trimeo::applyPlayback(hasAnimations, playing, coordinator.animationNodes, viewIsPlaying);
    if (viewIsPlaying && animator.hasAnimatedNodes() && !frameTimer.isActive()) {
        sinceLastFrame.start();
        frameTimer.start();
    }
}

void SceneKitView::setShowWireframe(bool showWireframe) {
    if (showWireframe == d->showWireframe) return;
    d->showWireframe = showWireframe;
    update();
}

bool SceneKitView::showWireframe() const { return d->showWireframe; }

void SceneKitView::setPlaying(bool playing) {
    d->playing = playing;
    d->applyPlayback();
}

SceneKitView::Coordinator& SceneKitView::coordinator() { return d->coordinator; }
std::shared_ptr<scene::Scene> SceneKitView::scene() const { return d->scene; }
bool SceneKitView::isPlaying() const { return d->viewIsPlaying; }

void SceneKitView::initializeGL() {
    std::string error;
    d->rendererReady = d->renderer.initialize(&error);
    d->target.emplace(gl::AntialiasedTarget::modeForCurrentContext());
    if (!d->rendererReady) qWarning("Viewport cannot draw: %s", error.c_str());
    d->sceneChanged = true; // a new context has none of the old uploads
    // Reparenting the widget replaces its context: free the old uploads while it lives.
    disconnect(d->contextConnection);
    d->contextConnection = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        d->renderer.release();
        if (d->target) d->target->release();
        d->rendererReady = false;
        doneCurrent();
    });
}

void SceneKitView::paintGL() {
    const QColor window = palette().color(QPalette::Window);
    const scene::Color background{float(window.redF()), float(window.greenF()), float(window.blueF()), 1};
    if (!d->rendererReady) return;
    if (d->sceneChanged) {
        d->renderer.setScene(d->scene, d->resourceDirectory, std::exchange(d->preparedMeshes, {}));
        d->sceneChanged = false;
    }
    d->renderer.setWireframe(d->showWireframe);
    const qreal ratio = devicePixelRatioF();
    const int w = std::max(1, int(width() * ratio)), h = std::max(1, int(height() * ratio));
    const PointOfView pov = d->pointOfView();
    double zNear = pov.camera.zNear, zFar = pov.camera.zFar;
    scene::Matrix4 view = inverseAffine(pov.world);
    if (d->userCamera) {
        view = d->orbit.viewMatrix();
        // Zooming in closer than the camera's near plane must not cut the model open.
        zNear = std::min(zNear, d->orbit.distance() * 0.2);
        zFar = std::max(zFar, d->orbit.distance() * 4);
    }
    const QSize drawn = d->target->bind(QSize(w, h));
    if (drawn.isEmpty()) return;
    d->renderer.render(view, perspective(pov.camera.fieldOfView, double(w) / h, zNear, zFar), drawn.width(),
                       drawn.height(), background);
    d->target->resolveInto(defaultFramebufferObject());
}

void SceneKitView::mousePressEvent(QMouseEvent* event) { d->lastPointer = event->position(); }

void SceneKitView::mouseMoveEvent(QMouseEvent* event) {
    if (!d->scene) return;
    const QPointF delta = event->position() - d->lastPointer;
    d->lastPointer = event->position();
    if (!d->userCamera) {
        d->orbit.resetTo(d->pointOfView().world);
        d->userCamera = true;
    }
    if (event->buttons() & Qt::LeftButton) d->orbit.orbit(delta.x(), delta.y());
    else if (event->buttons() & (Qt::RightButton | Qt::MiddleButton))
        d->orbit.pan(delta.x(), delta.y(), height(), d->pointOfView().camera.fieldOfView);
    else return;
    update();
}

void SceneKitView::mouseDoubleClickEvent(QMouseEvent*) { resetView(); }

void SceneKitView::resetView() {
    d->userCamera = false;
    update();
}

void SceneKitView::wheelEvent(QWheelEvent* event) {
    if (!d->scene) return;
    if (!d->userCamera) {
        d->orbit.resetTo(d->pointOfView().world);
        d->userCamera = true;
    }
    d->orbit.zoom(event->angleDelta().y() / 120.0);
    update();
}

} // namespace trimeo
