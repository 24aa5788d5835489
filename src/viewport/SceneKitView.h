// The interactive viewport: a QOpenGLWidget that loads its file once, in the background,
// shows the presented scene and lets the user orbit, pan and zoom. It reports how the load
// ended with a signal and takes the host's wireframe and playback options through setters.
#pragma once

#include "ViewportPicking.h"
#include "scene/Scene.h"

#include <QByteArray>
#include <QImage>
#include <QOpenGLWidget>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trimeo {

class SceneKitView : public QOpenGLWidget {
    Q_OBJECT
public:
    // Per-viewport store that outlives a single frame.
    class Coordinator {
    public:
        // Nodes with animations of their own, collected once a model with animations loads.
        std::vector<scene::Node::Ptr> animationNodes;
    };

    // Starts the one background load of `data` at once; `dataOwner` keeps data's bytes alive
    // (a mapped file) for as long as the view or its load needs them.
    SceneKitView(QByteArray data, std::optional<QUrl> fileURL, bool showWireframe, QWidget* parent = nullptr,
                 std::shared_ptr<const void> dataOwner = {});
    ~SceneKitView() override;

    // Draws the first material of every geometry, the floor's included, as lines.
    void setShowWireframe(bool showWireframe);
    bool showWireframe() const;
    // Runs or pauses the collected animated nodes; acts only once a model with animations
    // has loaded, and a value set earlier is applied then.
    void setPlaying(bool playing);

    // Back to the scene's own camera, as a double-click does.
    void resetView();

    Coordinator& coordinator();
    // The presented scene, or null until the load has succeeded.
    std::shared_ptr<scene::Scene> scene() const;
    // The loaded model's animations, as the loader named them (glTF's included, which no
    // node carries).
    const std::vector<std::string>& animationNames() const;
    // The view's playing flag: set by the first play, never cleared.
    bool isPlaying() const;

    // The current view drawn offscreen at `size` pixels, by the renderer `--render` uses:
    // from the scene's own camera the two give the same picture. Null before the model has
    // loaded or when no OpenGL is available.
    QImage renderImage(QSize size);

    // A cut across one of the model's own axes at `fraction` (0 to 1) of its extent, keeping
    // the lower side, with the cut faces capped; nothing shows the whole model again. While
    // a cut is shown, Ctrl+left-drag moves it (sectionMoved reports where to).
    void setSection(std::optional<SectionAxis> axis, double fraction = 0.5);

    // Measuring: while on, a click on the model (a press and release without dragging)
    // places an end of the measurement, Shift snapping it to the nearest vertex; a third
    // click starts a new one; Esc clears it. Turning it off clears it too.
    void setMeasuring(bool measuring);
    bool isMeasuring() const;
    void clearMeasurement();
    // The ends placed so far (0, 1 or 2), in the model's own coordinates: the file's units.
    const std::vector<scene::Vector3>& measurementPoints() const;
    // The point of the model's surface drawn at `position` (widget coordinates) in the
    // last frame, read from its depth buffer, in the model's coordinates; `snap` moves it to
    // the nearest vertex. Nothing over the background or before the first frame.
    std::optional<scene::Vector3> pickModelPoint(QPointF position, bool snap);

signals:
    // Exactly one of the two, once, on the GUI thread, as the view's last act of the load:
    // a slot may delete the view. `loaded` comes after the scene is shown and its animated
    // nodes are collected (and paused unless playing was set).
    void loaded(bool hasAnimations);
    void failed(const QString& description);
    void measurementChanged();
    void sectionMoved(double fraction);

protected:
    void initializeGL() override;
    void paintGL() override;
    // Left-drag orbits, right- or middle-drag pans, the wheel zooms; a double-click
    // returns to the scene's own camera.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace trimeo
