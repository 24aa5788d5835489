// The interactive viewport: a QOpenGLWidget that loads its file once, in the background,
// shows the presented scene, lets the user orbit, pan and zoom, and applies the host's
// wireframe and playback options on every refresh.
#pragma once

#include "scene/Scene.h"

#include <QByteArray>
#include <QOpenGLWidget>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trimeo {

// The host's state that the viewport reads and writes (two-way bindings). Each setter
// changes the host's value; the host then refreshes the viewport.
struct ViewportBindings {
    std::function<bool()> isPlaying;
    std::function<bool()> hasAnimations;
    std::function<void(bool)> setHasAnimations;
    std::function<void(std::optional<std::string>)> setErrorMessage;
    std::function<void(bool)> setIsLoading;
};

class SceneKitView : public QOpenGLWidget {
    Q_OBJECT
public:
    // Per-viewport store that outlives a single refresh.
    class Coordinator {
    public:
        std::vector<scene::Node::Ptr> animationNodes;
    };

    // Starts the one background load of `data` at once.
    SceneKitView(QByteArray data, std::optional<QUrl> fileURL, bool showWireframe, ViewportBindings bindings,
                 QWidget* parent = nullptr);
    ~SceneKitView() override;

    // The host's wireframe value; applied by the next refresh().
    void setShowWireframe(bool showWireframe);
    // Applies wireframe and playback from the current values; never reloads.
    void refresh();

    Coordinator& coordinator();
    // The presented scene, or null until the load has succeeded.
    std::shared_ptr<scene::Scene> scene() const;
    // The view's playing flag: set by the first refresh that plays, never cleared.
    bool isPlaying() const;

signals:
    // Emitted on the GUI thread after the load's success or failure step has run.
    void loadFinished();

protected:
    void initializeGL() override;
    void paintGL() override;
    // Left-drag orbits, right- or middle-drag pans, the wheel zooms; a double-click
    // returns to the scene's own camera.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace trimeo
