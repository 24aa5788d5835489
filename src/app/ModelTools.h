// The window's tools for looking into a model, all idle until used:
//  - View › "Inspector" (Ctrl+I): the inspector side panel, hidden at first;
//  - View › "Measure" (M): clicks on the model measure between two points;
//  - View › "Section" (S): a cut along X, Y or Z, moved with the section bar's slider;
//  - File › "Export Image..." (Ctrl+E): the current view as a PNG;
//  - Page Down / Page Up and Alt+Right / Alt+Left: the next / previous model file of the
//    open file's folder, in natural name order, through the open sequence.
// The tools follow whichever viewport the content shows; a new file keeps the modes on.
#pragma once

#include "loading/FolderBrowsing.h"
#include "viewport/ViewportPicking.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QSlider;
class QToolBar;

namespace trimeo {

class AppState;
class ContentView;
class InspectorPanel;
class SceneKitView;

class ModelTools : public QObject {
    Q_OBJECT
public:
    ModelTools(AppState& state, ContentView& content, QMainWindow& window);

    QAction* inspectorAction() const { return inspector_; }
    QAction* measureAction() const { return measure_; }
    QAction* sectionAction() const { return section_; }
    QAction* exportImageAction() const { return exportImage_; }
    QAction* nextFileAction() const { return nextFile_; }
    QAction* previousFileAction() const { return previousFile_; }
    InspectorPanel* inspectorPanel() const { return panel_; }
    QToolBar* sectionBar() const { return sectionBar_; }
    QSlider* sectionSlider() const { return slider_; }

    // The file `step` places after (positive) or before the open one in its folder.
    std::optional<QUrl> neighbour(int step) const;
    // Opens that file through the open sequence; false when there is none.
    bool openNeighbour(int step);
    // Writes the current view at `size` to `path` as PNG; false when nothing was written.
    bool exportImage(const QString& path, QSize size);

private:
    void follow();
    void attach();
    void enableForModel(bool shown); // measure, section and export need a model on view
    void showFigures();
    void applySection();
    void askAndExport();

    AppState& state_;
    ContentView& content_;
    QMainWindow& window_;
    QAction* inspector_;
    QAction* measure_;
    QAction* section_;
    QAction* exportImage_;
    QAction* nextFile_;
    QAction* previousFile_;
    InspectorPanel* panel_;
    QToolBar* sectionBar_;
    QActionGroup* axes_;
    QSlider* slider_;

    QPointer<SceneKitView> viewport_;
    QElapsedTimer loadClock_;
    double loadSeconds_ = -1;
};

} // namespace trimeo
