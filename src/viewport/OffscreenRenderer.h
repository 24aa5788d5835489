// Renders a scene into an image without a window: an antialiased framebuffer (see
// AntialiasedTarget), the scene's own camera, the same renderer as the window. Its OpenGL
// context comes either from the window system through Qt (an X display such as Xvfb, or
// Wayland) or from EGL with no window system at all (see EglContext); it owns that context
// for its whole life.
#pragma once

#include "AntialiasedTarget.h"
#include "MeshData.h"
#include "ViewportPicking.h"
#include "scene/Scene.h"

#include <QImage>
#include <QSurfaceFormat>
#include <QSize>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace trimeo {

enum class ContextSource {
    windowSystem, // through Qt: needs a QGuiApplication on a platform that offers OpenGL
    egl,          // surfaceless EGL: needs no application object and no display
};

// EGL when the environment names no display (DISPLAY and WAYLAND_DISPLAY unset or empty),
// else the window system's.
ContextSource contextSourceForEnvironment();

class OffscreenRenderer {
public:
    // Without a mode, the one that suits the driver.
    explicit OffscreenRenderer(std::optional<gl::AntialiasedTarget::Mode> antialiasing = std::nullopt,
                               ContextSource source = ContextSource::windowSystem);
    ~OffscreenRenderer();
    OffscreenRenderer(const OffscreenRenderer&) = delete;
    OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

    // False when no OpenGL 3.3 context could be made; error() says why.
    bool isValid() const;
    const std::string& error() const;
    gl::AntialiasedTarget::Mode antialiasing() const;

    // From now on the lens narrows so that the scene's geometry fills this share (0 to 1]
    // of the picture, seen from the same camera place (see fitProjection); 0 keeps the
    // camera's own field of view.
    void setFillFraction(double fraction);

    // Draws every geometry's first material as lines in the renders that follow.
    void setWireframe(bool wireframe);

    // Cuts the renders that follow as the window's section does: across `axis` at `fraction`
    // of `box` (the model's coordinates), the model placed in the world by `worldFromModel`.
    struct Section {
        SectionAxis axis;
        double fraction;
        scene::BoundingBox box;
        scene::Matrix4 worldFromModel;
        scene::Color capColor;
    };
    void setSection(std::optional<Section> section);

    // For a scene that is drawn here and read by no one else (a one-off picture): each
    // geometry's vertex data and index lists are freed once uploaded, so that while drawing
    // the driver's copy is the only one held. The scene keeps its nodes and materials.
    void setReleasesUploadedVertices(bool release);
    // Whether draws read the scene's arrays in place (then nothing is freed: they are the only copy).
    bool drawsFromSceneArrays() const;

    // Where a render's time went, each step waited for with glFinish. With `orbitFrames`
    // above zero that many further frames are drawn, turning the view about the model,
    // and their rate is reported: the interactive cost once everything is uploaded.
    struct Timings {
        int orbitFrames = 0;
        double upload = 0, firstFrame = 0, readBack = 0, orbit = 0; // seconds
    };

    // The first frame of `scene` as seen from its camera, on `background`. With an opaque
    // background the image is RGB32; with a translucent one it is ARGB32 and keeps the
    // coverage of the antialiased edges. A null image when the renderer is not valid or
    // the size is empty. `prepared` holds meshes the loading thread already made (see
    // prepareMeshes).
    QImage render(std::shared_ptr<const scene::Scene> scene, QSize size, scene::Color background,
                  const std::filesystem::path& resourceDirectory = {}, Timings* timings = nullptr,
                  PreparedMeshes prepared = {});

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The format both the widget and the offscreen path ask for: 3.3 core (the offscreen path
// tries the compatibility profile first), depth; antialiasing
// lives in their AntialiasedTarget.
QSurfaceFormat viewportSurfaceFormat();

} // namespace trimeo
