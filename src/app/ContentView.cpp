#include "ContentView.h"

#include "AppState.h"
#include "ContentToolBar.h"
#include "EmptyDisplay.h"
#include "ErrorDisplay.h"
#include "FailureNotice.h"
#include "ModelDisplay.h"
#include "OpenPanel.h"
#include "OpenSequence.h"
#include "WindowPlacement.h"
#include "viewport/SceneKitView.h"

#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace trimeo {

ContentView::ContentView(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setMinimumSize(400, 300);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    notice_ = new FailureNotice(this);
    column->addWidget(notice_);
    displays_ = new QStackedLayout;
    column->addLayout(displays_, 1);
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
    connect(toolBar_, &ContentToolBar::playPauseTriggered, this, &ContentView::togglePlaying);
    connect(toolBar_, &ContentToolBar::wireframeTriggered, this, &ContentView::toggleWireframe);
    connect(&state_, &AppState::fileURLChanged, this, &ContentView::fileURLChanged);
    connect(&state_, &AppState::fileOpened, this, &ContentView::fileOpened);
    connect(&state_, &AppState::openFailed, this, [this](const QUrl& url, const QString& reason) {
        if (reloading_ == url) reloading_.reset();
        notice_->showFailure(url, reason);
    });
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

void ContentView::toggleWireframe() {
    showWireframe_ = !showWireframe_;
    applyState();
}

void ContentView::togglePlaying() {
    if (!state_.fileURL() || !hasAnimations_) return;
    isPlaying_ = !isPlaying_;
    applyState();
}

void ContentView::resetView() {
    if (viewport_) viewport_->resetView();
}

void ContentView::reload() {
    if (!state_.fileURL()) return;
    reloading_ = *state_.fileURL();
    startOpenSequence(state_, *reloading_);
}

// Runs only for a different file (AppState signals distinct values only).
void ContentView::fileURLChanged() {
    reloading_.reset(); // another file has replaced the one being read again
    resetFileState();
    applyState();
}

void ContentView::fileOpened(const QUrl& url) {
    notice_->hide(); // about an earlier attempt
    if (reloading_ != url) return;
    reloading_.reset();
    resetFileState();
    if (viewport_) retireViewport(); // the bytes just read get a viewport of their own
    applyState();
}

void ContentView::resetFileState() {
    errorMessage_.reset();
    isLoading_ = true;
    hasAnimations_ = false;
    isPlaying_ = false;
}

void ContentView::applyState() {
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
        viewport_->setPlaying(isPlaying_);
    }
    emit stateChanged();
}

void ContentView::showViewportForCurrentFile() {
    if (viewport_) retireViewport();
    viewportURL_ = *state_.fileURL();
    viewportFinished_ = false;
    auto* view = new SceneKitView(state_.fileData(), state_.fileURL(), showWireframe_, model_, state_.fileDataOwner());
    connect(view, &SceneKitView::loaded, this, [this, view](bool animated) { viewportLoaded(view, animated); });
    connect(view, &SceneKitView::failed, this,
            [this, view](const QString& description) { viewportFailed(view, description); });
    viewport_ = view;
    model_->setViewport(view);
    // Keys go to the model (W, Space, Home...), not to whichever button the hidden
    // display's focus fell to.
    view->setFocus(Qt::OtherFocusReason);
}

// Only the viewport of the file shown now reports into the state: a slow load of an earlier
// file cannot end the new file's loading state or show its error over the new model.
void ContentView::viewportLoaded(SceneKitView* view, bool hasAnimations) {
    if (view != viewport_) {
        view->deleteLater(); // retired while loading: its report was all it waited for
        return;
    }
    viewportFinished_ = true;
    isLoading_ = false;
    if (hasAnimations) hasAnimations_ = true;
    applyState();
}

void ContentView::viewportFailed(SceneKitView* view, const QString& description) {
    if (view != viewport_) {
        view->deleteLater();
        return;
    }
    viewportFinished_ = true;
    errorMessage_ = description;
    isLoading_ = false;
    applyState(); // shows the error display, which retires this viewport
}

void ContentView::retireViewport() {
    SceneKitView* old = viewport_;
    viewport_ = nullptr;
    model_->removeViewport(old);
    // A load still running reports back to its view; that view stays until it has.
    if (viewportFinished_) old->deleteLater();
}

void ContentView::configureWindow() {
    // After the current update, when the window has its screen.
    QTimer::singleShot(0, this, [this] { placeWindow(window()); });
}

} // namespace trimeo
