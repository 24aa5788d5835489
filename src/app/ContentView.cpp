#include "ContentView.h"

#include "AppState.h"
#include "ContentToolBar.h"
#include "EmptyDisplay.h"
#include "ErrorDisplay.h"
#include "ModelDisplay.h"
#include "OpenPanel.h"
#include "OpenSequence.h"
#include "viewport/SceneKitView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStackedLayout>
#include <QTimer>

namespace trimeo {

ContentView::ContentView(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setMinimumSize(400, 300);
    displays_ = new QStackedLayout(this);
    empty_ = new EmptyDisplay(this);
    error_ = new ErrorDisplay(this);
    model_ = new ModelDisplay(this);
    displays_->addWidget(empty_);
    displays_->addWidget(error_);
    displays_->addWidget(model_);
    toolBar_ = new ContentToolBar(this);

    connect(empty_, &EmptyDisplay::openClicked, this, &ContentView::openFile);
    connect(empty_, &EmptyDisplay::recentFileClicked, this, [this](const QUrl& url) { startOpenSequence(state_, url); });
    connect(toolBar_, &ContentToolBar::openTriggered, this, &ContentView::openFile);
    connect(toolBar_, &ContentToolBar::playPauseTriggered, this, [this] {
        isPlaying_ = !isPlaying_;
        applyState();
    });
    connect(toolBar_, &ContentToolBar::wireframeTriggered, this, [this] {
        showWireframe_ = !showWireframe_;
        applyState();
    });
    connect(&state_, &AppState::fileURLChanged, this, &ContentView::fileURLChanged);
    connect(&state_, &AppState::readingFileChanged, this, &ContentView::applyState);
    connect(&state_, &AppState::recentFilesChanged, this, [this] {
        empty_->setRecentFiles(state_.recentFiles());
        applyState();
    });
    empty_->setRecentFiles(state_.recentFiles());
    applyState();
}

ContentView::Display ContentView::display() const {
    if (!state_.fileURL()) return Display::empty;
    if (errorMessage_) return Display::error;
    return Display::model;
}

void ContentView::openFile() {
    if (std::optional<QUrl> url = OpenPanel::chooseFile(this)) startOpenSequence(state_, *url);
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (appeared_) return;
    appeared_ = true;
    configureWindow();
    emit appeared();
}

// Runs only for a different file (AppState signals distinct values only).
void ContentView::fileURLChanged() {
    ++viewportGeneration_; // whatever the previous file's viewport still reports is stale
    errorMessage_.reset();
    isLoading_ = true;
    hasAnimations_ = false;
    isPlaying_ = false;
    updateWindowTitle();
    applyState();
}

void ContentView::applyState() {
    // A binding written while the state is being applied asks for one more pass.
    if (applying_) {
        reapply_ = true;
        return;
    }
    applying_ = true;
    do {
        reapply_ = false;
        applyStateOnce();
    } while (reapply_);
    applying_ = false;
}

void ContentView::applyStateOnce() {
    const Display shown = display();
    if (shown == Display::model) {
        if (!viewport_ || viewportURL_ != *state_.fileURL()) showViewportForCurrentFile();
    } else if (viewport_) {
        retireViewport();
    }
    if (shown == Display::error) error_->setMessage(*errorMessage_);
    // While a file is still being read, the loading overlay covers whatever was shown.
    const bool reading = state_.isReadingFile();
    model_->setLoading(isLoading_ || reading);
    displays_->setCurrentWidget(shown == Display::empty && !reading ? static_cast<QWidget*>(empty_)
                                : shown == Display::error && !reading ? static_cast<QWidget*>(error_)
                                                                      : static_cast<QWidget*>(model_));
    toolBar_->setState({state_.fileURL(), hasAnimations_, isPlaying_, showWireframe_});
    if (viewport_) {
        viewport_->setShowWireframe(showWireframe_);
        viewport_->refresh();
    }
}

void ContentView::showViewportForCurrentFile() {
    if (viewport_) retireViewport();
    const quint64 generation = ++viewportGeneration_;
    QPointer<ContentView> self(this);
    // Writes from a viewport of an earlier file are dropped, so a slow load of the
    // previous file cannot end the new file's loading state or show its error over the
    // new model. A viewport taken down by its own error still finishes its report.
    auto current = [self, generation] { return self && self->viewportGeneration_ == generation; };
    ViewportBindings bindings;
    bindings.isPlaying = [self] { return self && self->isPlaying_; };
    bindings.hasAnimations = [self] { return self && self->hasAnimations_; };
    bindings.setHasAnimations = [self, current](bool value) {
        if (!current()) return;
        self->hasAnimations_ = value;
        self->applyState();
    };
    bindings.setErrorMessage = [self, current](std::optional<std::string> message) {
        if (!current()) return;
        self->errorMessage_ = message ? std::optional<QString>(QString::fromStdString(*message)) : std::nullopt;
        self->applyState();
    };
    bindings.setIsLoading = [self, current](bool value) {
        if (!current()) return;
        self->isLoading_ = value;
        self->applyState();
    };
    viewportURL_ = *state_.fileURL();
    viewportFinished_ = false;
    viewport_ = new SceneKitView(state_.fileData(), state_.fileURL(), showWireframe_, std::move(bindings), model_);
    connect(viewport_, &SceneKitView::loadFinished, this, [this, generation] {
        if (generation == viewportGeneration_) viewportFinished_ = true;
    });
    model_->setViewport(viewport_);
}

void ContentView::retireViewport() {
    SceneKitView* old = viewport_;
    viewport_ = nullptr;
    model_->removeViewport(old);
    // A load still running reports back to its view; that view stays until it has.
    if (viewportFinished_) old->deleteLater();
    else connect(old, &SceneKitView::loadFinished, old, &QObject::deleteLater);
}

void ContentView::configureWindow() {
    // After the current update, when the window has its screen and frame.
    QTimer::singleShot(0, this, [this] {
        QWidget* window = this->window();
        QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        if (!screen) return;
        const QRect available = screen->availableGeometry();
        const int width = qRound(available.width() * 0.65);
        const QRect frame(available.left() + qRound((available.width() - width) / 2.0), available.top(), width,
                          available.height());
        // setGeometry places the inside of the window; the decorations go around it.
        const QRect inside = window->geometry();
        const QRect outside = window->frameGeometry();
        const QMargins decorations(inside.left() - outside.left(), inside.top() - outside.top(),
                                   outside.right() - inside.right(), outside.bottom() - inside.bottom());
        window->setGeometry(frame.marginsRemoved(decorations));
    });
}

void ContentView::updateWindowTitle() {
    QTimer::singleShot(0, this, [this] { window()->setWindowTitle(QStringLiteral("Trimeo")); });
}

} // namespace trimeo
