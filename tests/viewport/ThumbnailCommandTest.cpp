// `trimeo --thumbnail` as a file manager runs it: with no display, from a file URI, inside
// the sandbox GNOME puts thumbnailers in; and what it refuses, always leaving no file.
#include "support/RunCommand.h"
#include "viewport/ThumbnailCommand.h"

#include <QImage>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using trimeo::test::shellQuoted;

const std::string kNoDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

fs::path sample() { return fs::path(TRIMEO_SOURCE_DIR) / "samples/trefoil-knot.stl"; }

trimeo::test::CommandOutcome thumbnail(const std::string& input, const fs::path& output, const std::string& size,
                                       const fs::path& scratch) {
    return trimeo::test::runCommand(kNoDisplay + shellQuoted(TRIMEO_BINARY) + " --thumbnail " + shellQuoted(input) +
                                        " " + shellQuoted(output.string()) + " " + size,
                                    scratch);
}

class Thumbnail : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / "thumbnail";
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder;
};

// What a file manager would show: the model alone filling most of a transparent square.
void expectModelAloneFillingTheSquare(const fs::path& png, int size) {
    const QImage image(QString::fromStdString(png.string()));
    ASSERT_EQ(image.size(), QSize(size, size)) << png;
    ASSERT_TRUE(image.hasAlphaChannel());
    int left = size, right = -1, top = size, bottom = -1, opaque = 0, partial = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int alpha = image.pixelColor(x, y).alpha();
            opaque += alpha == 255;
            partial += alpha > 0 && alpha < 255;
            if (alpha == 0) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    for (QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
        EXPECT_EQ(image.pixelColor(corner).alpha(), 0) << "no background, no floor";
    EXPECT_GT(opaque, size * size / 10);
    EXPECT_GT(partial, size / 2) << "edges keep their antialiasing in alpha";
    // The wider side spans about nine tenths of the square, centred.
    const int span = std::max(right - left, bottom - top) + 1;
    EXPECT_NEAR(span, size * 0.9, size * 0.03);
    EXPECT_NEAR(left + right, size - 1, size * 0.03);
    EXPECT_NEAR(top + bottom, size - 1, size * 0.03);
    // Lit grey, not black: the shading survived the transparent background.
    const QColor middle = image.pixelColor((left + right) / 2, (top + bottom) / 2);
    EXPECT_TRUE(middle.alpha() < 255 || middle.lightness() > 60) << middle.name().toStdString();
}

TEST_F(Thumbnail, DrawsFromAFileUriWithoutAnyDisplay) {
    const fs::path spaced = folder / "a folder" / "knot model.stl";
    fs::create_directories(spaced.parent_path());
    fs::copy_file(sample(), spaced);
    std::string uri = "file://";
    for (char c : spaced.string()) uri += c == ' ' ? std::string("%20") : std::string(1, c);

    for (int size : {128, 256}) {
        const fs::path png = folder / ("knot-" + std::to_string(size) + ".png");
        const auto outcome = thumbnail(uri, png, std::to_string(size), folder);
        ASSERT_EQ(outcome.status, 0) << outcome.errors;
        expectModelAloneFillingTheSquare(png, size);
    }
    // A plain path works as well.
    const auto plain = thumbnail(sample().string(), folder / "plain.png", "512", folder);
    ASSERT_EQ(plain.status, 0) << plain.errors;
    expectModelAloneFillingTheSquare(folder / "plain.png", 512);
}

TEST_F(Thumbnail, RefusesWhatItCannotDrawAndLeavesNoFile) {
    const fs::path png = folder / "out.png";
    struct Case {
        std::string input, size;
        int status;
        std::string says;
    };
    // Sparse: the size counts, not the blocks on disk.
    const fs::path huge = folder / "huge.stl";
    { std::ofstream(huge).put('s'); }
    fs::resize_file(huge, (std::uintmax_t(512) << 20) + 1);
    const fs::path vdb = folder / "cloud.vdb";
    { std::ofstream(vdb) << "not drawn"; }
    const fs::path broken = folder / "broken.glb";
    { std::ofstream(broken) << "glTF but not really"; }

    const Case cases[] = {
        {huge.string(), "256", 1, "512 MiB"},
        {(folder / "gone.stl").string(), "256", 1, "gone.stl"},
        {folder.string(), "256", 1, "not a regular file"},
        {vdb.string(), "256", 1, "VDB"},
        {broken.string(), "256", 1, ""},
        {"sftp://host/model.stl", "256", 1, "not a local file"},
        {sample().string(), "64", 2, "128"},
        {sample().string(), "2048", 2, "1024"},
        {sample().string(), "big", 2, "usage"},
    };
    for (const Case& c : cases) {
        const auto outcome = thumbnail(c.input, png, c.size, folder);
        EXPECT_EQ(outcome.status, c.status) << c.input << ' ' << c.size << ": " << outcome.errors;
        EXPECT_NE(outcome.errors.find(c.says), std::string::npos) << outcome.errors;
        EXPECT_FALSE(fs::exists(png)) << c.input;
    }
    // Nothing half-written is left beside the target either.
    for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_EQ(entry.path().string().find("out.png"), std::string::npos) << entry.path();
}

// A load that cannot be interrupted still ends the process when the time is up.
TEST_F(Thumbnail, EndsQuicklyAtTheTimeLimitWithoutAFile) {
    const fs::path png = folder / "late.png";
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        static char name[] = "trimeo";
        _exit(trimeo::runThumbnailCommand({sample().string(), png.string(), 256, 0.001}, name));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_LT(seconds, 2.0);
    EXPECT_FALSE(fs::exists(png));
}

// The installed entry's Exec line, run the way GNOME's file manager runs thumbnailers: a
// root holding only /usr (read-only), no environment (so no display), a private /tmp holding
// the input and the output folder, no network. The program sits beside /usr as it would in it.
TEST_F(Thumbnail, ThumbnailerEntryWorksInsideTheSandbox) {
    if (trimeo::test::runCommand("bwrap --ro-bind / / --unshare-all true", folder).status != 0)
        GTEST_SKIP() << "bubblewrap is missing or cannot make namespaces here";
    std::ifstream entry(TRIMEO_THUMBNAILER_FILE);
    std::string line, exec;
    while (std::getline(entry, line))
        if (line.rfind("Exec=", 0) == 0) exec = line.substr(5);
    ASSERT_EQ(exec.rfind("trimeo ", 0), 0u) << exec;

    const fs::path out = folder / "sandbox-out";
    fs::create_directories(out);
    std::string command = "/app/bin/trimeo" + exec.substr(6);
    auto replace = [&](const std::string& code, const std::string& value) {
        const auto at = command.find(code);
        ASSERT_NE(at, std::string::npos) << code;
        command.replace(at, code.size(), shellQuoted(value));
    };
    replace("%i", "file:///tmp/gnome-desktop-file-to-thumbnail.stl");
    replace("%o", "/tmp/out/gnome-desktop-thumbnailer.png");
    replace("%s", "256");
    std::string sandbox = "bwrap --ro-bind /usr /usr --ro-bind-try /etc/ld.so.cache /etc/ld.so.cache "
                          "--ro-bind-try /etc/alternatives /etc/alternatives --proc /proc --dev /dev --chdir / "
                          "--tmpfs /tmp --unshare-all --die-with-parent --clearenv --setenv GIO_USE_VFS local ";
    // Merged /usr, as Debian 12 has it: the old top-level folders are links into /usr.
    for (const char* top : {"bin", "sbin", "lib", "lib64", "lib32", "libx32"})
        if (fs::is_symlink(fs::path("/") / top))
            sandbox += std::string("--symlink usr/") + top + " /" + top + " ";
        else if (fs::is_directory(fs::path("/") / top))
            sandbox += std::string("--ro-bind /") + top + " /" + top + " ";
    sandbox += "--ro-bind " + shellQuoted(TRIMEO_BINARY) + " /app/bin/trimeo --ro-bind " +
               shellQuoted(sample().string()) + " /tmp/gnome-desktop-file-to-thumbnail.stl --bind " +
               shellQuoted(out.string()) + " /tmp/out ";
    const auto outcome = trimeo::test::runCommand(sandbox + command, folder);
    ASSERT_EQ(outcome.status, 0) << outcome.errors;
    expectModelAloneFillingTheSquare(out / "gnome-desktop-thumbnailer.png", 256);

    // And the sandbox really offers no display, no network but loopback, nothing but /usr.
    const auto inside = trimeo::test::runCommand(
        sandbox + "/bin/sh -c " + shellQuoted("env >&2; cat /proc/net/dev >&2; test ! -e /work"), folder);
    ASSERT_EQ(inside.status, 0) << inside.errors;
    EXPECT_EQ(inside.errors.find("DISPLAY="), std::string::npos) << inside.errors;
    std::istringstream lines(inside.errors);
    int interfaces = 0;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos || line.find('=') != std::string::npos) continue;
        ++interfaces;
        EXPECT_EQ(line.substr(0, colon).find_first_not_of(' '), line.substr(0, colon).find("lo")) << line;
    }
    EXPECT_EQ(interfaces, 1) << inside.errors;
}

} // namespace
