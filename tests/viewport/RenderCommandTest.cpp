// `trimeo --render` as a user runs it: a PNG of the asked size, the timing lines with
// --timings, the exit status for a failed load (usage errors: CommandLineTest), and the
// same picture with no display at all (through EGL) as through the display.
#include "GLTestEnvironment.h"
#include "support/RunCommand.h"
#include "support/TestFiles.h"

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// Runs the binary; the files it leaves are removed by the caller.
trimeo::test::CommandOutcome runTrimeo(const std::string& arguments, const fs::path& folder,
                                       const std::string& environment = "") {
    return trimeo::test::runCommand(environment + " '" + std::string(TRIMEO_BINARY) + "' " + arguments, folder);
}

TEST(RenderCommand, WritesTheImageReportsItsStepsAndFailsReadably) {
    TRIMEO_REQUIRE_GL();
    const fs::path folder = fs::temp_directory_path() / "render-command";
    fs::create_directories(folder);
    const fs::path image = folder / "knot.png";
    const std::string model = (fs::path(TRIMEO_SOURCE_DIR) / "samples/trefoil-knot.stl").string();

    auto drawn = runTrimeo("--render '" + image.string() + "' --size 320x200 --timings '" + model + "'", folder);
    EXPECT_EQ(drawn.status, 0) << drawn.errors;
    const QImage png(QString::fromStdString(image.string()));
    EXPECT_EQ(png.size(), QSize(320, 200));
    for (const char* step : {"read", "parse", "pipeline", "context", "wait", "upload", "frame", "readback", "save",
                             "total", "orbit-fps"})
        EXPECT_NE(drawn.errors.find(std::string("timing ") + step + " "), std::string::npos) << step;
    // Something grey stands in the middle of the light background.
    EXPECT_GT(trimeo::test::colourDistance(png.pixelColor(160, 100), png.pixelColor(2, 2)), 20);

    auto missing = runTrimeo("--render '" + (folder / "no.png").string() + "' '" + (folder / "gone.stl").string() + "'",
                                folder);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.errors.find("gone.stl"), std::string::npos) << missing.errors;
    EXPECT_FALSE(fs::exists(folder / "no.png"));

    fs::remove_all(folder);
}

// The box around the pixels that differ from the corner's background colour.
QRect modelArea(const QImage& image) {
    const QColor background = image.pixelColor(0, 0);
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (trimeo::test::colourDistance(image.pixelColor(x, y), background) > 24) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

TEST(RenderCommand, WithoutAnyDisplayDrawsThroughEglWhatTheDisplayDraws) {
    TRIMEO_REQUIRE_GL();
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "the comparison needs an X display (xvfb-run)";
    const fs::path folder = fs::temp_directory_path() / "render-egl";
    fs::create_directories(folder);
    const std::string model = (fs::path(TRIMEO_SOURCE_DIR) / "samples/trefoil-knot.stl").string();
    const fs::path throughX = folder / "x.png", throughEgl = folder / "egl.png";

    auto x = runTrimeo("--render '" + throughX.string() + "' --size 400x300 '" + model + "'", folder);
    ASSERT_EQ(x.status, 0) << x.errors;
    auto egl = runTrimeo("--render '" + throughEgl.string() + "' --size 400x300 '" + model + "'", folder,
                         "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
    ASSERT_EQ(egl.status, 0) << egl.errors;

    const QImage a(QString::fromStdString(throughX.string())), b(QString::fromStdString(throughEgl.string()));
    trimeo::test::saveForInspection(b, "render-without-display");
    ASSERT_EQ(a.size(), QSize(400, 300));
    ASSERT_EQ(b.size(), a.size());
    EXPECT_LE(trimeo::test::colourDistance(a.pixelColor(0, 0), b.pixelColor(0, 0)), 2);
    // Same framing: the model's box agrees to a pixel or two on every side.
    const QRect boxX = modelArea(a), boxEgl = modelArea(b);
    ASSERT_FALSE(boxX.isEmpty());
    EXPECT_LE(std::abs(boxX.left() - boxEgl.left()), 2);
    EXPECT_LE(std::abs(boxX.right() - boxEgl.right()), 2);
    EXPECT_LE(std::abs(boxX.top() - boxEgl.top()), 2);
    EXPECT_LE(std::abs(boxX.bottom() - boxEgl.bottom()), 2);
    // And the same shading: only a sliver of pixels may differ visibly.
    EXPECT_LT(trimeo::test::pixelsDifferingBetween(a, b, 8), a.width() * a.height() / 100);
    fs::remove_all(folder);
}

} // namespace
