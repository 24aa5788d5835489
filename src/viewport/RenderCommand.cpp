#include "RenderCommand.h"

#include "LiveViewOptions.h"
#include "LoadPipeline.h"
#include "OffscreenRenderer.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace trimeo {
namespace {

struct RenderArguments {
    std::string output;
    std::string file;
    int width = 800, height = 600;
    bool wireframe = false;
};

int usage() {
    std::cerr << "usage: trimeo --render OUT.png [--size WxH] [--wireframe] FILE\n";
    return 2;
}

bool parseSize(const char* text, int& w, int& h) {
    char* end = nullptr;
    long a = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* rest = end + 1;
    long b = std::strtol(rest, &end, 10);
    if (end == rest || *end != '\0') return false;
    if (a < 1 || b < 1 || a > 16384 || b > 16384) return false; // what GL framebuffers allow
    w = int(a), h = int(b);
    return true;
}

std::optional<RenderArguments> parse(int argc, char** argv) {
    if (argc < 4) return std::nullopt;
    RenderArguments args;
    args.output = argv[2];
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0) {
            if (++i >= argc || !parseSize(argv[i], args.width, args.height)) return std::nullopt;
        } else if (std::strcmp(argv[i], "--wireframe") == 0) {
            args.wireframe = true;
        } else if (args.file.empty()) {
            args.file = argv[i];
        } else {
            return std::nullopt;
        }
    }
    if (args.file.empty()) return std::nullopt;
    return args;
}

// Without any display Qt's default platform aborts; the offscreen one fails politely.
void choosePlatform() {
    if (std::getenv("QT_QPA_PLATFORM")) return;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x && *x) || !(wayland && *wayland)) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

int runRenderCommand(int argc, char** argv) {
    const std::optional<RenderArguments> args = parse(argc, argv);
    if (!args) return usage();

    std::ifstream in(args->file, std::ios::binary);
    if (!in) {
        std::cerr << "Cannot read file " << args->file << '\n';
        return 1;
    }
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();

    // The load runs while the GL context and shaders are being set up.
    const std::filesystem::path path(args->file);
    auto loading = std::async(std::launch::async, [&data, &path] { return loadAndPresent(data, path); });

    choosePlatform();
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    OffscreenRenderer renderer;

    LoadOutcome outcome = loading.get();
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
    applyWireframe(presented.scene.get(), args->wireframe);

    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    const scene::Color background{float(window.redF()), float(window.greenF()), float(window.blueF()), 1};
    const QImage image = renderer.render(presented.scene, QSize(args->width, args->height), background,
                                         std::filesystem::absolute(path).parent_path());
    if (image.isNull()) {
        std::cerr << "Rendering failed\n";
        return 1;
    }
    if (!image.save(QString::fromStdString(args->output), "PNG")) {
        std::cerr << "Cannot write " << args->output << '\n';
        return 1;
    }
    return 0;
}

} // namespace trimeo
