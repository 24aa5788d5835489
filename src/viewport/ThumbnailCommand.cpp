#include "ThumbnailCommand.h"

#include "LoadPipeline.h"
#include "ModelPresentation.h"
#include "OffscreenRenderer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <iostream>
#include <optional>
#include <thread>

namespace trimeo {
namespace {

namespace fs = std::filesystem;

// Thumbnailer entries hand over "file:" URIs (%i may be either); other schemes name
// files this process cannot open.
std::optional<fs::path> localPath(const std::string& input) {
    const bool isUri = input.rfind("file:", 0) == 0 || input.find("://") != std::string::npos;
    if (!isUri) return fs::path(input);
    const QUrl url(QString::fromStdString(input));
    if (!url.isValid() || !url.isLocalFile()) return std::nullopt;
    return fs::path(url.toLocalFile().toStdString());
}

// The model and its camera only: the floor belongs to the window's room, not to an icon.
void removeFloor(scene::Scene& presented) {
    std::vector<scene::Node::Ptr> others;
    for (const scene::Node::Ptr& child : presented.rootNode->childNodes())
        if (child->name != kModelContainerName && !child->camera) others.push_back(child);
    for (const scene::Node::Ptr& node : others) node->removeFromParentNode();
}

// Ends the process once the time limit passes, unless the picture is already being
// written: a load cannot be interrupted, and a file manager waits for the process.
class Watchdog {
public:
    explicit Watchdog(double seconds) {
        std::thread([this, seconds] {
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
            int running = kRunning;
            if (!state_.compare_exchange_strong(running, kExpired)) return;
            std::fprintf(stderr, "Thumbnail not made: the file took longer than %g seconds\n", seconds);
            std::fflush(stderr);
            std::_Exit(1);
        }).detach();
    }
    // False when the time is already up (the process is ending).
    bool startWriting() {
        int running = kRunning;
        return state_.compare_exchange_strong(running, kWriting);
    }

private:
    static constexpr int kRunning = 0, kWriting = 1, kExpired = 2;
    // Static: the detached thread may outlive the object by the time the process ends.
    static inline std::atomic<int> state_{kRunning};
};

int fail(const std::string& reason) {
    std::cerr << "Thumbnail not made: " << reason << '\n';
    return 1;
}

// Written beside the target and renamed into place, so the target never holds half a PNG.
bool writeWhole(const fs::path& target, const QByteArray& bytes) {
    std::string pattern = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    const char* at = bytes.constData();
    for (qsizetype left = bytes.size(); left > 0;) {
        const ssize_t n = ::write(fd, at, std::size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(pattern.c_str());
            return false;
        }
        at += n, left -= n;
    }
    // mkstemp makes the file private; a thumbnail is as readable as any other file.
    ::fchmod(fd, 0644);
    if (::close(fd) != 0 || ::rename(pattern.c_str(), target.c_str()) != 0) {
        ::unlink(pattern.c_str());
        return false;
    }
    return true;
}

} // namespace

int runThumbnailCommand(const ThumbnailRequest& request, char* programName) {
    if (request.size < kMinThumbnailSize || request.size > kMaxThumbnailSize) {
        std::cerr << "usage: the thumbnail size must be " << kMinThumbnailSize << " to " << kMaxThumbnailSize
                  << " pixels\n";
        return 2;
    }
    Watchdog watchdog(request.timeLimit);

    const std::optional<fs::path> path = localPath(request.input);
    if (!path) return fail(request.input + " is not a local file");
    struct stat st{};
    if (::stat(path->c_str(), &st) != 0) return fail("cannot open " + path->string());
    if (!S_ISREG(st.st_mode)) return fail(path->string() + " is not a regular file");
    if (std::uint64_t(st.st_size) > kMaxThumbnailInputBytes)
        return fail(path->string() + " is larger than " + std::to_string(kMaxThumbnailInputBytes >> 20) + " MiB");

    // Loading runs while the GL context is made, as for --render.
    auto loading = std::async(std::launch::async, [&] { return loadAndPresentFile(*path); });

    // Only for image plugins (textures); no platform, no display.
    int qtArgc = 1;
    char* qtArgv[] = {programName, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    OffscreenRenderer renderer(std::nullopt, ContextSource::egl);

    std::optional<LoadOutcome> loaded = loading.get();
    if (!loaded) return fail("cannot read " + path->string());
    if (auto* failure = std::get_if<LoadFailure>(&*loaded)) return fail(failure->description);
    if (!renderer.isValid()) return fail("no OpenGL 3.3 without a display (" + renderer.error() + ")");

    auto& presented = std::get<PresentedModel>(*loaded);
    removeFloor(*presented.scene);
    renderer.setFillFraction(0.9);
    renderer.setReleasesUploadedVertices(true); // one picture: the driver's copy is enough
    const QImage image = renderer.render(presented.scene, QSize(request.size, request.size), {0, 0, 0, 0},
                                         fs::absolute(*path).parent_path(), nullptr, std::move(presented.meshes));
    if (image.isNull()) return fail("rendering failed");

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return fail("cannot encode the PNG");
    if (!watchdog.startWriting()) std::this_thread::sleep_for(std::chrono::hours(1)); // the watchdog is ending us
    if (!writeWhole(request.output, png)) return fail("cannot write " + request.output);

    // As for --render: the scene and the context need no orderly teardown.
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace trimeo
