#include "FakeViewport.h"

#include "loading/ModelLoader.h"

#include <QTimer>

#include <map>
#include <span>

namespace trimeo {

namespace {
struct FakeState {
    QByteArray data;
    std::shared_ptr<const void> dataOwner;
    std::optional<QUrl> fileURL;
    bool showWireframe = false;
    bool hasAnimations = false;
    SceneKitView::Coordinator coordinator;
    int refreshes = 0;
    int resets = 0;
    bool playing = false;
};

fake::Mode mode = fake::Mode::load;
int created = 0;
// The fakes' insides, for the control functions below (Impl is private to the class).
std::map<const SceneKitView*, FakeState*>& registry() {
    static std::map<const SceneKitView*, FakeState*> views;
    return views;
}
} // namespace

struct SceneKitView::Impl : FakeState {};

SceneKitView::SceneKitView(QByteArray data, std::optional<QUrl> fileURL, bool showWireframe, QWidget* parent,
                           std::shared_ptr<const void> dataOwner)
    : QOpenGLWidget(parent), d(std::make_unique<Impl>()) {
    ++created;
    d->data = std::move(data);
    d->dataOwner = std::move(dataOwner);
    d->fileURL = std::move(fileURL);
    d->showWireframe = showWireframe;
    registry()[this] = d.get();
    setFocusPolicy(Qt::StrongFocus); // as the real one
    if (mode == fake::Mode::hold) return;
    QTimer::singleShot(0, this, [this] {
        try {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(d->data.constData());
            std::optional<std::filesystem::path> path;
            if (d->fileURL) path = d->fileURL->toLocalFile().toStdString();
            const ModelLoader::LoadResult result =
                ModelLoader::load(std::span(bytes, static_cast<std::size_t>(d->data.size())), path);
            fake::finish(this, result.hasAnimations);
        } catch (const std::exception& error) {
            fake::fail(this, error.what());
        }
    });
}

SceneKitView::~SceneKitView() { registry().erase(this); }

void SceneKitView::setShowWireframe(bool showWireframe) {
    ++d->refreshes;
    d->showWireframe = showWireframe;
}

bool SceneKitView::showWireframe() const { return d->showWireframe; }

void SceneKitView::setPlaying(bool playing) {
    ++d->refreshes;
    if (d->hasAnimations && playing) d->playing = true;
}

void SceneKitView::resetView() { ++d->resets; }

// Draws nothing and ignores the pointer: the shell's tests only watch the reports.
void SceneKitView::initializeGL() {}
void SceneKitView::paintGL() {}
void SceneKitView::mousePressEvent(QMouseEvent* event) { QOpenGLWidget::mousePressEvent(event); }
void SceneKitView::mouseMoveEvent(QMouseEvent* event) { QOpenGLWidget::mouseMoveEvent(event); }
void SceneKitView::mouseDoubleClickEvent(QMouseEvent* event) { QOpenGLWidget::mouseDoubleClickEvent(event); }
void SceneKitView::wheelEvent(QWheelEvent* event) { QOpenGLWidget::wheelEvent(event); }

SceneKitView::Coordinator& SceneKitView::coordinator() { return d->coordinator; }
std::shared_ptr<scene::Scene> SceneKitView::scene() const { return nullptr; }
const std::vector<std::string>& SceneKitView::animationNames() const {
    static const std::vector<std::string> none;
    return none;
}
bool SceneKitView::isPlaying() const { return d->playing; }

namespace fake {

void setMode(Mode newMode) { mode = newMode; }
int createdCount() { return created; }

void finish(SceneKitView* view, bool hasAnimations) {
    registry().at(view)->hasAnimations = hasAnimations;
    emit view->loaded(hasAnimations);
}

void fail(SceneKitView* view, const std::string& error) { emit view->failed(QString::fromStdString(error)); }

bool wireframeOf(const SceneKitView* view) { return registry().at(view)->showWireframe; }
int refreshCount(const SceneKitView* view) { return registry().at(view)->refreshes; }
int resetCount(const SceneKitView* view) { return registry().at(view)->resets; }

} // namespace fake
} // namespace trimeo

namespace trimeo {

// The model tools on the stand-in: modes are kept, nothing is drawn or picked.
QImage SceneKitView::renderImage(QSize) { return {}; }
void SceneKitView::setSection(std::optional<SectionAxis>, double) {}
void SceneKitView::setMeasuring(bool) {}
bool SceneKitView::isMeasuring() const { return false; }
void SceneKitView::clearMeasurement() {}
const std::vector<scene::Vector3>& SceneKitView::measurementPoints() const {
    static const std::vector<scene::Vector3> none;
    return none;
}
std::optional<scene::Vector3> SceneKitView::pickModelPoint(QPointF, bool) { return std::nullopt; }
void SceneKitView::mouseReleaseEvent(QMouseEvent* event) { QOpenGLWidget::mouseReleaseEvent(event); }
void SceneKitView::keyPressEvent(QKeyEvent* event) { QOpenGLWidget::keyPressEvent(event); }

} // namespace trimeo
