#include "RenderCommand.h"

#include "LoadPipeline.h"
#include "OffscreenRenderer.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <future>
#include <iostream>
#include <optional>
#include <string>

namespace trimeo {
namespace {

// Without any display Qt's default platform aborts; the offscreen one fails politely.
void choosePlatform() {
    if (std::getenv("QT_QPA_PLATFORM")) return;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x && *x) || !(wayland && *wayland)) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

int runRenderCommand(const RenderRequest& request, char* programName) {
    const double start = seconds();

    // Reading and loading run while the GL context and shaders are being set up; the
    // file's bytes are released as soon as the scene is built, before anything is uploaded.
    const std::filesystem::path path(request.file);
    LoadTimings loadTimings;
    // Nothing leaves this thread but an outcome: a refused file is a failure like any other.
    auto loading = std::async(std::launch::async, [&] { return loadAndPresentFile(path, &loadTimings); });

    choosePlatform();
    int qtArgc = 1;
    char* qtArgv[] = {programName, nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    OffscreenRenderer renderer(std::nullopt, contextSourceForEnvironment());
    const double contextReady = seconds();

    std::optional<LoadOutcome> loaded = loading.get();
    const double sceneReady = seconds();
    if (!loaded) {
        std::cerr << "Cannot read file " << request.file << '\n';
        return 1;
    }
    LoadOutcome& outcome = *loaded;
    if (auto* failure = std::get_if<LoadFailure>(&outcome)) {
        std::cerr << failure->description << '\n';
        return 1;
    }
    if (!renderer.isValid()) {
        std::cerr << "No OpenGL 3.3 available (" << renderer.error()
                  << "); run under a display, e.g. xvfb-run -a trimeo --render ...\n";
        return 1;
    }
    auto& presented = std::get<PresentedModel>(outcome);
    renderer.setWireframe(request.wireframe);
    renderer.setReleasesUploadedVertices(true); // one picture: the driver's copy is enough

    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    const scene::Color background{float(window.redF()), float(window.greenF()), float(window.blueF()), 1};
    OffscreenRenderer::Timings renderTimings;
    renderTimings.orbitFrames = request.timings ? 20 : 0;
    const QImage image = renderer.render(presented.scene, QSize(request.width, request.height), background,
                                         std::filesystem::absolute(path).parent_path(),
                                         request.timings ? &renderTimings : nullptr, std::move(presented.meshes));
    if (image.isNull()) {
        std::cerr << "Rendering failed\n";
        return 1;
    }
    const double beforeSave = seconds();
    // Light compression: the image is written once, and level 9 takes several times longer
    // for a few per cent.
    if (!image.save(QString::fromStdString(request.output), "PNG", 80)) {
        std::cerr << "Cannot write " << request.output << '\n';
        return 1;
    }
    if (request.timings) {
        // One "name seconds" line per step, for bench/render_bench. Reading and loading
        // overlap the context set-up; "wait" is how long the scene was still missing after it.
        // The orbit frames are left out of the total.
        std::fprintf(stderr,
                     "timing read %.4f\ntiming parse %.4f\ntiming pipeline %.4f\ntiming context %.4f\n"
                     "timing wait %.4f\ntiming upload %.4f\ntiming frame %.4f\ntiming readback %.4f\n"
                     "timing save %.4f\ntiming total %.4f\ntiming orbit-fps %.2f\n",
                     loadTimings.read, loadTimings.load, loadTimings.present, contextReady - start,
                     sceneReady - contextReady, renderTimings.upload, renderTimings.firstFrame,
                     renderTimings.readBack, seconds() - beforeSave, seconds() - start - renderTimings.orbit,
                     renderTimings.orbit > 0 ? renderTimings.orbitFrames / renderTimings.orbit : 0.0);
    }
    // The image is written: the scene, the GL context and Qt need no orderly teardown, which
    // for a big model takes longer than some of the steps above.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace trimeo
