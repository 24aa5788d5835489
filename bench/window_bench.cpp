// Launch to model on screen, by screen capture: each viewer is started on the file, the screen
// is captured every few milliseconds until the time is up, and the first frame is the first
// capture from which the screen stays as it ends (the model drawn and still). Peak memory is
// the viewer's own (wait4 rusage). Viewers: trimeo, and the peers f3d and fstl where installed
// (fstl reads STL only). Needs a window manager so windows map as on a desktop, e.g.:
//   xvfb-run -a -s "-screen 0 1440x900x24" sh -c 'openbox & sleep 1; bench/window_bench FILE [runs] [seconds]'
// WINDOW_BENCH_PICTURES=DIR keeps each viewer's first-frame capture for a look; WINDOW_BENCH_ONLY=NAME
// runs one viewer.
// TRIMEO_BIN overrides the trimeo path.
#include "support/BenchSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using trimeo::bench::now;

constexpr int kStep = 4;                // every 4th pixel of every 4th row is compared
constexpr double kSameFraction = 0.005; // captures differing in fewer pixels are the same picture

struct Capture {
    double seconds = 0;
    std::vector<std::uint32_t> pixels;
};

class ScreenGrabber {
public:
    ScreenGrabber() : display_(XOpenDisplay(nullptr)) {
        if (!display_) return;
        const int screen = DefaultScreen(display_);
        root_ = RootWindow(display_, screen);
        width_ = DisplayWidth(display_, screen);
        height_ = DisplayHeight(display_, screen);
        image_ = XShmCreateImage(display_, DefaultVisual(display_, screen), unsigned(DefaultDepth(display_, screen)),
                                 ZPixmap, nullptr, &shm_, unsigned(width_), unsigned(height_));
        shm_.shmid = shmget(IPC_PRIVATE, std::size_t(image_->bytes_per_line) * std::size_t(height_), IPC_CREAT | 0600);
        shm_.shmaddr = image_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
        shm_.readOnly = False;
        XShmAttach(display_, &shm_);
        shmctl(shm_.shmid, IPC_RMID, nullptr);
    }
    ~ScreenGrabber() {
        if (!display_) return;
        XShmDetach(display_, &shm_);
        XDestroyImage(image_);
        shmdt(shm_.shmaddr);
        XCloseDisplay(display_);
    }
    int width() const { return width_; }
    bool ok() const { return display_ && image_ && shm_.shmaddr != reinterpret_cast<char*>(-1); }

    Capture capture() {
        Capture c;
        XShmGetImage(display_, root_, image_, 0, 0, AllPlanes);
        c.seconds = now();
        c.pixels.reserve(std::size_t(width_ / kStep) * std::size_t(height_ / kStep));
        for (int y = 0; y < height_; y += kStep) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(image_->data + std::size_t(y) * image_->bytes_per_line);
            for (int x = 0; x < width_; x += kStep) c.pixels.push_back(row[x] & 0xffffffu);
        }
        return c;
    }

private:
    Display* display_ = nullptr;
    Window root_ = 0;
    int width_ = 0, height_ = 0;
    XImage* image_ = nullptr;
    XShmSegmentInfo shm_{};
};

bool samePicture(const Capture& a, const Capture& b) {
    std::size_t differing = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const std::uint32_t p = a.pixels[i], q = b.pixels[i];
        for (int shift = 0; shift < 24; shift += 8) {
            const int d = int((p >> shift) & 0xff) - int((q >> shift) & 0xff);
            if (d > 24 || d < -24) {
                ++differing;
                break;
            }
        }
    }
    return double(differing) < kSameFraction * double(a.pixels.size());
}

// The compared pixels as a small PPM picture, to look at what was taken for the first frame.
void writePicture(const Capture& c, int width, const fs::path& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return;
    const int w = (width + kStep - 1) / kStep;
    const int h = int(c.pixels.size()) / w;
    std::fprintf(out, "P6 %d %d 255\n", w, h);
    for (std::uint32_t p : c.pixels) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                      static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, out);
    }
    std::fclose(out);
}

struct Run {
    bool unchangedSinceShown = false; // the window never changed after it appeared: look at the picture
    double firstFrame = -1; // seconds from launch; negative when the screen never settled on a picture
    double longestStill = 0; // longest time the screen did not change between the window's appearance and first frame
    double peakMiB = 0;
};

Run runViewer(ScreenGrabber& screen, const std::vector<std::string>& argv, double seconds, const fs::path& picture) {
    const Capture empty = screen.capture();
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    std::vector<Capture> captures;
    while (now() - start < seconds) {
        captures.push_back(screen.capture());
        usleep(8000);
    }
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    for (int i = 0; i < 100 && wait4(pid, &status, WNOHANG, &usage) == 0; ++i) usleep(20000);
    if (wait4(pid, &status, WNOHANG, &usage) == 0) {
        kill(pid, SIGKILL);
        wait4(pid, &status, 0, &usage);
    }
    Run run;
    run.peakMiB = double(usage.ru_maxrss) / 1024.0;
    if (captures.empty() || samePicture(captures.back(), empty)) return run;
    std::size_t first = captures.size() - 1;
    while (first > 0 && samePicture(captures[first - 1], captures.back())) --first;
    run.firstFrame = captures[first].seconds - start;
    // A viewer that animates while it loads (trimeo's busy indicator) changes the screen at
    // its frame rate; a stall of its interface thread shows as a long still period.
    std::size_t shown = 0;
    while (shown < first && samePicture(captures[shown], empty)) ++shown;
    run.unchangedSinceShown = shown == first;
    double lastChange = shown < captures.size() ? captures[shown].seconds : start;
    for (std::size_t i = shown + 1; i <= first; ++i) {
        if (captures[i].pixels == captures[i - 1].pixels) continue;
        run.longestStill = std::max(run.longestStill, captures[i].seconds - lastChange);
        lastChange = captures[i].seconds;
    }
    if (!picture.empty()) writePicture(captures[first], screen.width(), picture);
    usleep(500000); // let the window close before the next launch
    return run;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

bool installed(const char* program) {
    const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_bench FILE [runs] [seconds]\n");
        return 2;
    }
    const fs::path file = fs::absolute(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const double seconds = argc > 3 ? std::atof(argv[3]) : 6.0;
    // WINDOW_BENCH_PICTURES=DIR keeps each viewer's first-frame capture there.
    const char* pictures = std::getenv("WINDOW_BENCH_PICTURES");
    const char* env = std::getenv("TRIMEO_BIN");
    const std::string trimeo = env ? env : TRIMEO_BINARY;
    ScreenGrabber screen;
    if (!screen.ok()) {
        std::fprintf(stderr, "needs an X display with MIT-SHM: run under xvfb-run\n");
        return 1;
    }
    struct Viewer {
        std::string name;
        std::vector<std::string> argv;
    };
    std::vector<Viewer> viewers{{"trimeo", {trimeo, file.string()}}};
    if (installed("f3d")) viewers.push_back({"f3d", {"f3d", file.string()}});
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (installed("fstl") && extension == ".stl") viewers.push_back({"fstl", {"fstl", file.string()}});

    if (const char* only = std::getenv("WINDOW_BENCH_ONLY")) // e.g. "trimeo"
        std::erase_if(viewers, [&](const Viewer& v) { return v.name != only; });
    std::printf("%s: launch to model on screen, median of %d runs (each watched %.0f s)\n\n", file.filename().c_str(),
                runs, seconds);
    std::printf("| viewer | first frame s | peak MiB | longest still s while loading |\n|---|---|---|---|\n");
    for (const Viewer& viewer : viewers) {
        std::vector<double> frames, peaks, stills;
        int missed = 0, unchanged = 0;
        // Interleaving would be fairer on a shared machine, but one viewer's exit must not
        // overlap the next one's start; runs follow each other per viewer.
        for (int i = 0; i < runs; ++i) {
            const fs::path picture =
                pictures ? fs::path(pictures) / (viewer.name + "-first-frame.ppm") : fs::path();
            const Run run = runViewer(screen, viewer.argv, seconds, picture);
            unchanged += run.unchangedSinceShown;
            if (run.firstFrame < 0) ++missed;
            else {
                frames.push_back(run.firstFrame);
                stills.push_back(run.longestStill);
            }
            peaks.push_back(run.peakMiB);
        }
        if (frames.empty()) std::printf("| %s | – | %.0f | – |  [nothing drawn]\n", viewer.name.c_str(), median(peaks));
        else
            std::printf("| %s | %.2f | %.0f | %.2f |%s\n", viewer.name.c_str(), median(frames), median(peaks),
                        median(stills), missed      ? "  [some runs drew nothing]"
                                        : unchanged ? "  [window never changed after it appeared: look at the picture]"
                                                    : "");
        std::fflush(stdout);
    }
    return 0;
}
