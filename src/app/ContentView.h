// The main window's content. Chooses the empty, error or model display from the state,
// owns the toolbar, hosts one viewport per distinct open file and keeps the per-window
// view state: the viewport reports how its load ended, the content records it and hands
// the viewport its options. Every change of that state, or of the application state,
// re-applies the display, the toolbar and the viewport's options. Sizes its window on
// first appearance.
#pragma once

#include "viewport/SceneKitView.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <optional>

class QStackedLayout;

namespace trimeo {

class AppState;
class ContentToolBar;
class EmptyDisplay;
class ErrorDisplay;
class FailureNotice;
class ModelDisplay;

class ContentView : public QWidget {
    Q_OBJECT
public:
    enum class Display { empty, error, model };

    explicit ContentView(AppState& state, QWidget* parent = nullptr);

    // The window puts this in its toolbar area.
    ContentToolBar* toolBar() const { return toolBar_; }

    Display display() const;
    EmptyDisplay* emptyDisplay() const { return empty_; }
    ErrorDisplay* errorDisplay() const { return error_; }
    ModelDisplay* modelDisplay() const { return model_; }
    // Says, above the displays, that a file could not be opened.
    FailureNotice* failureNotice() const { return notice_; }
    // The viewport of the open file, or null outside the model display.
    SceneKitView* viewport() const { return viewport_; }

    bool showWireframe() const { return showWireframe_; }
    const std::optional<QString>& errorMessage() const { return errorMessage_; }
    bool isPlaying() const { return isPlaying_; }
    bool hasAnimations() const { return hasAnimations_; }
    bool isLoading() const { return isLoading_; }

    // The open dialog, then the open sequence on the chosen file.
    void openFile();
    // The toolbar's and the View menu's commands.
    void toggleWireframe();
    void togglePlaying(); // only while the model has animations
    void resetView();
    // Runs the open sequence on the open file again; once it is read, the model is loaded
    // anew as for a newly opened file (wireframe kept). A failed read changes nothing.
    void reload();

signals:
    // The content has been shown for the first time.
    void appeared();
    // The display, the view state or the open file changed.
    void stateChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fileURLChanged();
    void fileOpened(const QUrl& url);
    void resetFileState();
    void applyState();
    void showViewportForCurrentFile();
    void viewportLoaded(SceneKitView* view, bool hasAnimations);
    void viewportFailed(SceneKitView* view, const QString& description);
    void retireViewport();
    void configureWindow();

    AppState& state_;
    bool showWireframe_ = false;
    std::optional<QString> errorMessage_;
    bool isPlaying_ = false;
    bool hasAnimations_ = false;
    bool isLoading_ = true;

    QStackedLayout* displays_;
    EmptyDisplay* empty_;
    ErrorDisplay* error_;
    ModelDisplay* model_;
    FailureNotice* notice_;
    ContentToolBar* toolBar_;

    QPointer<SceneKitView> viewport_;
    QUrl viewportURL_;
    bool viewportFinished_ = false;
    std::optional<QUrl> reloading_; // read again by reload(), not yet back
    bool appeared_ = false;
};

} // namespace trimeo
