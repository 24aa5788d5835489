#include "SceneKitView.h"

#include "AnimatedNodes.h"
#include "AntialiasedTarget.h"
#include "CameraMath.h"
#include "DepthProbe.h"
#include "GLSceneRenderer.h"
#include "LiveViewOptions.h"
#include "LoadPipeline.h"
#include "NodeAnimator.h"
#include "OffscreenRenderer.h"
#include "OrbitCamera.h"
#include "PointOfView.h"
#include "scene/LengthUnit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QThreadPool>
#include <QTimer>
#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>
#include <future>
#include <utility>
#include <filesystem>

namespace trimeo {
namespace {

std::optional<std::filesystem::path> pathOf(const std::optional<QUrl>& url) {
    if (!url) return std::nullopt;
    return std::filesystem::path((url->isLocalFile() ? url->toLocalFile() : url->path()).toStdString());
}

// The cut faces and the measurement: a warm orange that stands apart from the grey
// models and the window's background in light and dark palettes alike.
constexpr scene::Color kCapColor{0.93f, 0.45f, 0.13f, 1.0f};

// Lets the GUI-thread step of a load find its viewport, or learn that it is gone.
struct ViewHandle {
    SceneKitView* view;
};

} // namespace

struct SceneKitView::Impl {
    QByteArray data;
    std::shared_ptr<const void> dataOwner;
    std::optional<QUrl> fileURL;
    bool showWireframe = false;
    bool playing = false;        // the host's option
    bool hasAnimations = false;  // as the load reported
    std::vector<std::string> animationNames; // the load's animation keys, in order
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
    QPointF pressPosition;
    bool dragged = false;

    // The last frame's, for picking in it and drawing the measurement over it.
    scene::Matrix4 lastView, lastProjection;
    QSize lastDrawn;
    gl::DepthProbe depthProbe;
    std::optional<SectionAxis> sectionAxis;
    double sectionFraction = 0.5;
    bool measuring = false;
    std::vector<scene::Vector3> measurement; // model coordinates
    // Of the scene as loaded, made once: neither is redone per frame or per click.
    std::optional<scene::BoundingBox> modelBoxCache;
    std::shared_future<std::shared_ptr<const VertexSnapper>> snapper;

    const scene::Node* container() const;
    const scene::BoundingBox& modelBox();
    void prepareSnapper();
    void drawMeasurement(QPainter& painter, QSize widgetSize) const;

    NodeAnimator animator;
    QElapsedTimer sinceLastFrame;
    QTimer frameTimer;

    void finishLoad(SceneKitView& view, LoadOutcome outcome);
    void applyPlayback();
    PointOfView pointOfView() const { return findPointOfView(scene ? *scene : scene::Scene{}); }
};

const scene::BoundingBox& SceneKitView::Impl::modelBox() {
    if (!modelBoxCache) modelBoxCache = container() ? container()->boundingBox() : scene::BoundingBox();
    return *modelBoxCache;
}

// Sorting millions of vertices takes a moment: done on a worker as soon as measuring starts,
// so that the first Shift-click finds it ready.
void SceneKitView::Impl::prepareSnapper() {
    const scene::Node* model = container();
    if (snapper.valid() || !model) return;
    // A snapper that cannot be built (memory) leaves points unsnapped rather than throwing
    // out of the worker into the click that waits for it.
    snapper = std::async(std::launch::async, [instances = takeInventory(*model).instances]() mutable {
                  try {
                      return std::make_shared<const VertexSnapper>(std::move(instances));
                  } catch (const std::exception&) {
                      return std::shared_ptr<const VertexSnapper>();
                  }
              }).share();
}

const scene::Node* SceneKitView::Impl::container() const {
    if (!scene) return nullptr;
    for (const scene::Node::Ptr& child : scene->rootNode->childNodes())
        if (child->name == "modelContainer") return child.get();
    return nullptr;
}

SceneKitView::SceneKitView(QByteArray data, std::optional<QUrl> fileURL, bool showWireframe, QWidget* parent,
                           std::shared_ptr<const void> dataOwner)
    : QOpenGLWidget(parent), d(std::make_unique<Impl>()) {
    d->data = std::move(data);
    d->dataOwner = std::move(dataOwner);
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
    const std::shared_ptr<const void> owner = d->dataOwner;
    const auto path = pathOf(d->fileURL);
    std::weak_ptr<ViewHandle> weak = d->handle;
    QThreadPool::globalInstance()->start(
        [bytes, owner, path, weak] {
            auto post = [weak](std::shared_ptr<LoadOutcome> outcome) {
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [weak, outcome] {
                        if (auto handle = weak.lock(); handle && handle->view)
                            handle->view->d->finishLoad(*handle->view, std::move(*outcome));
                    },
                    Qt::QueuedConnection);
            };
            // loadAndPresent throws nothing; the hand-over's own allocations still may, and an
            // exception leaving a pool thread would end the application.
            try {
                post(std::make_shared<LoadOutcome>(loadAndPresent(
                    std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())),
                    path)));
            } catch (const std::exception& e) {
                try {
                    post(std::make_shared<LoadOutcome>(LoadFailure{describeError(e)}));
                } catch (...) {
                }
            }
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
    modelBoxCache.reset();
    snapper = {};
    if (measuring) prepareSnapper();
    preparedMeshes = std::move(presented.meshes);
    sceneChanged = true;
    if (auto path = pathOf(fileURL)) resourceDirectory = std::filesystem::absolute(*path).parent_path();
    animator.setScene(scene->rootNode);
    hasAnimations = presented.loadResult.hasAnimations;
    animationNames.clear();
    for (const auto& entry : presented.loadResult.animations) animationNames.push_back(entry.first);
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

const std::vector<std::string>& SceneKitView::animationNames() const { return d->animationNames; }
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
        d->depthProbe.release();
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
    const scene::Matrix4 projection = perspective(pov.camera.fieldOfView, double(w) / h, zNear, zFar);
    const scene::Node* container = d->container();
    if (d->sectionAxis && container)
        d->renderer.setSection(gl::GLSceneRenderer::Section{
            sectionPlaneInView(*d->sectionAxis, d->sectionFraction, d->modelBox(),
                               view * container->worldTransform()),
            kCapColor});
    else
        d->renderer.setSection(std::nullopt);
    d->renderer.render(view, projection, drawn.width(), drawn.height(), background);
    d->lastView = view;
    d->lastProjection = projection;
    d->lastDrawn = drawn;
    d->target->resolveInto(defaultFramebufferObject());
    if (!d->measurement.empty()) {
        QPainter painter(this);
        d->drawMeasurement(painter, size());
    }
}

std::optional<scene::Vector3> SceneKitView::pickModelPoint(QPointF position, bool snap) {
    const scene::Node* container = d->container();
    if (!d->rendererReady || !container || d->lastDrawn.isEmpty() || width() <= 0 || height() <= 0) return std::nullopt;
    // Frame pixels: the frame may be drawn larger than the widget (pixel ratio, supersampling).
    const double fx = position.x() * d->lastDrawn.width() / width();
    const double fy = position.y() * d->lastDrawn.height() / height();
    const int px = std::clamp(int(fx), 0, d->lastDrawn.width() - 1);
    const int py = std::clamp(int(fy), 0, d->lastDrawn.height() - 1);
    makeCurrent();
    const std::optional<float> depth = d->depthProbe.read(d->target->framebuffer(), px, d->lastDrawn.height() - 1 - py);
    doneCurrent();
    if (!depth) return std::nullopt;
    const auto back = inverse(d->lastProjection * d->lastView);
    if (!back) return std::nullopt;
    const auto world = unprojectDepth(px, py, d->lastDrawn.width(), d->lastDrawn.height(), *depth, *back);
    if (!world) return std::nullopt;
    // The floor is no part of the model: a point there is not picked.
    const scene::Matrix4 containerWorld = container->worldTransform();
    const scene::Vector3 local = inverseAffine(containerWorld).transformPoint(*world);
    const scene::BoundingBox& box = d->modelBox();
    const scene::Vector3 slack = (box.max - box.min) * 0.01;
    if (local.x < box.min.x - slack.x || local.y < box.min.y - slack.y || local.z < box.min.z - slack.z ||
        local.x > box.max.x + slack.x || local.y > box.max.y + slack.y || local.z > box.max.z + slack.z)
        return std::nullopt;
    if (!snap) return local;
    d->prepareSnapper();
    const auto& snapper = d->snapper.get();
    if (!snapper) return local;
    return snapper->nearest(local);
}

void SceneKitView::Impl::drawMeasurement(QPainter& painter, QSize widgetSize) const {
    const scene::Node* model = container();
    if (!model) return;
    const scene::Matrix4 toClip = lastProjection * lastView * model->worldTransform();
    std::vector<QPointF> ends;
    for (const scene::Vector3& p : measurement) {
        // Through the frame's pixels to the widget's.
        const auto at = projectToWindow(p, widgetSize.width(), widgetSize.height(), toClip);
        if (!at) return;
        ends.emplace_back((*at)[0] + 0.5, (*at)[1] + 0.5);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(kCapColor.r * 255, kCapColor.g * 255, kCapColor.b * 255);
    painter.setPen(QPen(ink, 2));
    if (ends.size() == 2) painter.drawLine(ends[0], ends[1]);
    painter.setBrush(ink);
    for (const QPointF& e : ends) painter.drawEllipse(e, 4, 4);
    if (ends.size() != 2) return;
    const scene::Vector3 delta = measurement[1] - measurement[0];
    const QString unit = QString::fromStdString(scene::unitSymbol(scene->metersPerUnit));
    auto number = [](double v) { return QString::number(v, 'g', 6); };
    const QString text = QStringLiteral("%1 %2   (x %3, y %4, z %5)")
                             .arg(number(scene::length(delta)), unit, number(std::abs(delta.x)),
                                  number(std::abs(delta.y)), number(std::abs(delta.z)));
    const QPointF middle = (ends[0] + ends[1]) / 2 + QPointF(8, -8);
    QRectF box = painter.fontMetrics().boundingRect(text).toRectF().translated(middle).adjusted(-6, -4, 6, 4);
    box.moveLeft(std::clamp(box.left(), 2.0, std::max(2.0, widgetSize.width() - box.width() - 2)));
    box.moveTop(std::clamp(box.top(), 2.0, std::max(2.0, widgetSize.height() - box.height() - 2)));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 170));
    painter.drawRoundedRect(box, 4, 4);
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
}

QImage SceneKitView::renderImage(QSize size) {
    if (!d->scene || size.isEmpty()) return {};
    // The offscreen renderer looks through the scene's camera node: put it where the user's
    // camera is for the picture, and back afterwards.
    scene::Node* cameraNode = nullptr;
    d->scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& node) {
        if (!cameraNode && node->camera) cameraNode = node.get();
    });
    const auto [position, orientation] = cameraNode ? std::pair{cameraNode->position, cameraNode->orientation}
                                                    : std::pair{scene::Vector3(), scene::Quaternion()};
    if (cameraNode && d->userCamera && !cameraNode->parent()->parent()) {
        const scene::Matrix4 eye = inverseAffine(d->orbit.viewMatrix());
        cameraNode->position = {eye.at(0, 3), eye.at(1, 3), eye.at(2, 3)};
        cameraNode->orientation = scene::rotationFromMatrix(eye);
    }
    const QColor window = palette().color(QPalette::Window);
    const scene::Color background{float(window.redF()), float(window.greenF()), float(window.blueF()), 1};
    QImage image;
    {
        // The picture shows what the view shows: its wireframe and its section too.
        OffscreenRenderer offscreen;
        offscreen.setWireframe(d->showWireframe);
        if (const scene::Node* container = d->container(); d->sectionAxis && container)
            offscreen.setSection(OffscreenRenderer::Section{*d->sectionAxis, d->sectionFraction, d->modelBox(),
                                                            container->worldTransform(), kCapColor});
        if (offscreen.isValid()) image = offscreen.render(d->scene, size, background, d->resourceDirectory);
    }
    if (cameraNode) {
        cameraNode->position = position;
        cameraNode->orientation = orientation;
    }
    return image;
}

void SceneKitView::setSection(std::optional<SectionAxis> axis, double fraction) {
    d->sectionAxis = axis;
    d->sectionFraction = fraction;
    update();
}

void SceneKitView::setMeasuring(bool measuring) {
    d->measuring = measuring;
    if (measuring) d->prepareSnapper();
    if (!measuring) clearMeasurement();
    setCursor(measuring ? Qt::CrossCursor : Qt::ArrowCursor);
}

bool SceneKitView::isMeasuring() const { return d->measuring; }

void SceneKitView::clearMeasurement() {
    if (d->measurement.empty()) return;
    d->measurement.clear();
    emit measurementChanged();
    update();
}

const std::vector<scene::Vector3>& SceneKitView::measurementPoints() const { return d->measurement; }

void SceneKitView::mouseReleaseEvent(QMouseEvent* event) {
    if (!d->measuring || d->dragged || event->button() != Qt::LeftButton) return;
    const auto point = pickModelPoint(event->position(), event->modifiers() & Qt::ShiftModifier);
    if (!point) return;
    if (d->measurement.size() == 2) d->measurement.clear();
    d->measurement.push_back(*point);
    emit measurementChanged();
    update();
}

void SceneKitView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && d->measuring && !d->measurement.empty()) {
        clearMeasurement();
        return;
    }
    QOpenGLWidget::keyPressEvent(event);
}

void SceneKitView::mousePressEvent(QMouseEvent* event) {
    d->lastPointer = d->pressPosition = event->position();
    d->dragged = false;
}

void SceneKitView::mouseMoveEvent(QMouseEvent* event) {
    if ((event->position() - d->pressPosition).manhattanLength() > 4) d->dragged = true;
    if (!d->scene) return;
    const QPointF delta = event->position() - d->lastPointer;
    d->lastPointer = event->position();
    if (d->sectionAxis && (event->buttons() & Qt::LeftButton) && (event->modifiers() & Qt::ControlModifier)) {
        // Up or right moves the cut towards higher coordinates, across the view's height.
        d->sectionFraction = std::clamp(d->sectionFraction + (delta.x() - delta.y()) / std::max(1, height()), 0.0, 1.0);
        emit sectionMoved(d->sectionFraction);
        update();
        return;
    }
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
