// Test main for the renderer and widget tests: a QApplication (offscreen when there is
// no display at all), one probe for OpenGL 3.3, and TMPDIR pointed at a fresh folder
// that must be empty again at the end.
#include "GLTestEnvironment.h"
#include "support/TestFiles.h"
#include "viewport/OffscreenRenderer.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>

namespace trimeo::test {
namespace {
bool gAvailable = false;
std::string gReason;
} // namespace

bool openGLAvailable() { return gAvailable; }
const std::string& openGLUnavailableReason() { return gReason; }
void setOpenGLAvailability(bool available, std::string reason) {
    gAvailable = available;
    gReason = std::move(reason);
}

int colourDistance(QColor a, QColor b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

int pixelsDifferingFrom(const QImage& image, QColor reference, int tolerance, QRect area) {
    if (area.isNull()) area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += colourDistance(image.pixelColor(x, y), reference) > tolerance;
    return count;
}

int pixelsDifferingBetween(const QImage& a, const QImage& b, int tolerance) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += colourDistance(a.pixelColor(x, y), b.pixelColor(x, y)) > tolerance;
    return count;
}

std::string saveForInspection(const QImage& image, const std::string& name) {
    const QString dir = QStringLiteral(TRIMEO_TEST_OUTPUT_DIR);
    QDir().mkpath(dir);
    const QString path = dir + "/" + QString::fromStdString(name) + ".png";
    image.save(path);
    return path.toStdString();
}

} // namespace trimeo::test

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!std::getenv("QT_QPA_PLATFORM") && !(x && *x) && !(wayland && *wayland))
        setenv("QT_QPA_PLATFORM", "offscreen", 1); // widgets still work; GL is probed below

    const std::string tag = std::to_string(std::random_device{}());
    // Qt keeps its runtime folder in TMPDIR unless told otherwise; that is not a load's leftover.
    fs::path runtime = fs::temp_directory_path() / ("trimeo-gltest-runtime-" + tag);
    const bool ownRuntime = !std::getenv("XDG_RUNTIME_DIR");
    if (ownRuntime) {
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    fs::path dir = fs::temp_directory_path() / ("trimeo-gltest-" + tag);
    fs::create_directories(dir);
    setenv("TMPDIR", dir.c_str(), 1);

    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    {
        trimeo::OffscreenRenderer probe;
        trimeo::test::setOpenGLAvailability(probe.isValid(), probe.error());
    }
    if (!trimeo::test::openGLAvailable())
        std::cerr << "OpenGL tests will be skipped: " << trimeo::test::openGLUnavailableReason() << '\n';

    int status = RUN_ALL_TESTS();
    status = trimeo::test::failIfTemporaryFilesLeft(status);
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (ownRuntime) fs::remove_all(runtime, ec);
    return status;
}
