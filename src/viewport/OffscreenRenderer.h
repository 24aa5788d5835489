// Renders a scene into an image without a window: an offscreen surface, a 4x
// multisampled framebuffer, the scene's own camera. Needs a platform that offers OpenGL
// (an X display such as Xvfb, or Wayland); owns its context for its whole life.
#pragma once

#include "scene/Scene.h"

#include <QImage>
#include <QSurfaceFormat>
#include <QSize>

#include <filesystem>
#include <memory>
#include <string>

namespace trimeo {

class OffscreenRenderer {
public:
    OffscreenRenderer(); // needs a QGuiApplication
    ~OffscreenRenderer();
    OffscreenRenderer(const OffscreenRenderer&) = delete;
    OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

    // False when no OpenGL 3.3 core context could be made; error() says why.
    bool isValid() const;
    const std::string& error() const;

    // The first frame of `scene` as seen from its camera, on `background`.
    // A null image when the renderer is not valid or the size is empty.
    QImage render(std::shared_ptr<const scene::Scene> scene, QSize size, scene::Color background,
                  const std::filesystem::path& resourceDirectory = {});

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The format both the widget and the offscreen path ask for: 3.3 core, depth, 4x MSAA.
QSurfaceFormat viewportSurfaceFormat();

} // namespace trimeo
