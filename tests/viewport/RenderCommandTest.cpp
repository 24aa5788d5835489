// `trimeo --render` as a user runs it: a PNG of the asked size, the timing lines with
// --timings, and the exit statuses for a failed load and a usage error.
#include "GLTestEnvironment.h"
#include "support/TestFiles.h"

#include <QImage>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string errors;
};

// Runs the binary with stderr captured; the files it leaves are removed by the caller.
Outcome runTrimeo(const std::string& arguments, const fs::path& folder) {
    const fs::path log = folder / "stderr.txt";
    const std::string command = std::string("'") + TRIMEO_BINARY + "' " + arguments + " 2>'" + log.string() + "'";
    const int raw = std::system(command.c_str());
    Outcome out;
    out.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    out.errors = text.str();
    return out;
}

TEST(RenderCommand, WritesTheImageReportsItsStepsAndFailsReadably) {
    TRIMEO_REQUIRE_GL();
    const fs::path folder = fs::temp_directory_path() / "render-command";
    fs::create_directories(folder);
    const fs::path image = folder / "knot.png";
    const std::string model = (fs::path(TRIMEO_SOURCE_DIR) / "samples/trefoil-knot.stl").string();

    Outcome drawn = runTrimeo("--render '" + image.string() + "' --size 320x200 --timings '" + model + "'", folder);
    EXPECT_EQ(drawn.status, 0) << drawn.errors;
    const QImage png(QString::fromStdString(image.string()));
    EXPECT_EQ(png.size(), QSize(320, 200));
    for (const char* step : {"read", "parse", "pipeline", "context", "wait", "upload", "frame", "readback", "save",
                             "total", "orbit-fps"})
        EXPECT_NE(drawn.errors.find(std::string("timing ") + step + " "), std::string::npos) << step;
    // Something grey stands in the middle of the light background.
    EXPECT_GT(trimeo::test::colourDistance(png.pixelColor(160, 100), png.pixelColor(2, 2)), 20);

    Outcome missing = runTrimeo("--render '" + (folder / "no.png").string() + "' '" + (folder / "gone.stl").string() + "'",
                                folder);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.errors.find("gone.stl"), std::string::npos) << missing.errors;
    EXPECT_FALSE(fs::exists(folder / "no.png"));

    Outcome usage = runTrimeo("--render '" + image.string() + "' --size 0x10 '" + model + "'", folder);
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.errors.find("usage"), std::string::npos);
    fs::remove_all(folder);
}

} // namespace
