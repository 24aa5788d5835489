#include "formats/common/RelatedFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace trimeo {
namespace {
namespace fs = std::filesystem;

constexpr std::uint64_t MiB = std::uint64_t(1) << 20;

// A model folder "model/" with a few files, and a secret beside it that no reference may reach:
//   model/model.gltf  model/a.bin  model/sub/b.bin  outside/secret.bin
class RelatedFilesTest : public testing::Test {
protected:
    void SetUp() override {
        top = fs::temp_directory_path() / ("related-" + std::to_string(std::random_device{}()));
        model = top / "model";
        fs::create_directories(model / "sub");
        fs::create_directories(top / "outside");
        write(model / "model.gltf", "{}");
        write(model / "a.bin", "contents of a");
        write(model / "sub" / "b.bin", "contents of b");
        write(top / "outside" / "secret.bin", "secret");
    }
    void TearDown() override { fs::remove_all(top); }

    static void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    static void sized(const fs::path& path, std::uint64_t size) {
        std::ofstream(path, std::ios::binary).close();
        fs::resize_file(path, size);
    }
    RelatedFiles files(RelatedFiles::Limits limits = {}) const { return RelatedFiles(model / "model.gltf", limits); }

    // The text read for `reference`, or "refused: <why>".
    static std::string read(RelatedFiles& related, std::string_view reference, unsigned reach = 0) {
        std::string why;
        const auto bytes = related.read(reference, why, reach);
        if (!bytes) return "refused: " + why;
        return std::string((*bytes)->begin(), (*bytes)->end());
    }

    fs::path top, model;
};

TEST(JoinRelative, ResolvesAgainstTheReferrersFolderAndStaysUnderTheRoot) {
    const std::vector<std::tuple<std::string, std::string, std::optional<std::string>>> cases = {
        {"", "a.bin", "a.bin"},
        {"", "./sub//b.bin", "sub/b.bin"},
        {"a/b.usda", "../c.usda", "c.usda"},
        {"a/b.usda", "./d/e.bin", "a/d/e.bin"},
        {"a/b/c.usda", "../../x/./y", "x/y"},
        {"", "sub/..", "."},
        {"", "a\\..\\..\\b", "a\\..\\..\\b"}, // one odd name on Linux, not a way up
        {"", "./a:b.bin", "a:b.bin"},
        {"a:b/c.usda", "d.usda", "a:b/d.usda"},
        {"", "../a.bin", std::nullopt},
        {"a/b.usda", "../../c", std::nullopt},
        {"", "sub/../../a.bin", std::nullopt},
        {"../x.usda", "a.bin", std::nullopt},
        {"", "/etc/passwd", std::nullopt},
        {"", "\\\\server\\share", std::nullopt},
        {"", "C:\\a.bin", std::nullopt},
        {"", "c:/a.bin", std::nullopt},
        {"", "http://example.com/a.bin", std::nullopt},
        {"", "file:///etc/passwd", std::nullopt},
        {"", "data:application/octet-stream;base64,AAAA", std::nullopt},
        {"", "", std::nullopt},
        {"", std::string("a.bin\0.png", 10), std::nullopt},
    };
    for (const auto& [referrer, reference, expected] : cases)
        EXPECT_EQ(joinRelative(referrer, reference), expected) << '"' << referrer << "\" + \"" << reference << '"';
}

TEST(JoinRelative, ClimbsAboveTheRootOnlyAsFarAsTheReach) {
    const std::vector<std::tuple<std::string, std::string, unsigned, std::optional<std::string>>> cases = {
        {"", "../a.usda", 1, "../a.usda"},
        {"", "../../../_common/axis.usda", 3, "../../../_common/axis.usda"},
        {"", "../../../../a.usda", 3, std::nullopt},
        {"../../x/b.usda", "../../c.usda", 3, "../../../c.usda"},
        {"../../x/b.usda", "../../../c.usda", 3, std::nullopt},
        {"../a/b.usda", "../../model/c.usda", 2, "../../model/c.usda"},
        {"../a/b.usda", "../../../c.usda", 2, std::nullopt},
        {"", "../..", 2, "../.."},
        {"", "../sub/..", 1, ".."},
        {"", "/etc/passwd", 3, std::nullopt},
        {"", "file:../a.usda", 3, std::nullopt},
    };
    for (const auto& [referrer, reference, reach, expected] : cases)
        EXPECT_EQ(joinRelative(referrer, reference, reach), expected)
            << '"' << referrer << "\" + \"" << reference << "\" reach " << reach;
}

TEST(PercentDecode, DecodesEscapesAndKeepsMalformedOnes) {
    EXPECT_EQ(percentDecode("my%20file.bin"), "my file.bin");
    EXPECT_EQ(percentDecode("h%C3%a9llo"), "h\xC3\xA9llo");
    EXPECT_EQ(percentDecode("%2e%2E/x"), "../x"); // decoded first, then refused by the join
    EXPECT_EQ(percentDecode("100%"), "100%");
    EXPECT_EQ(percentDecode("%2"), "%2");
    EXPECT_EQ(percentDecode("%zz%%41"), "%zz%A");
    EXPECT_EQ(percentDecode("a+b"), "a+b");
    EXPECT_EQ(percentDecode("%00"), std::string(1, '\0'));
}

TEST_F(RelatedFilesTest, ReadsFilesInTheFolderAndBelowIt) {
    fs::create_directories(model / "my textures");
    write(model / "my textures" / "h\xC3\xA9llo w.png", "png");
    auto related = files();
    EXPECT_TRUE(related.hasLocation());
    EXPECT_EQ(read(related, "a.bin"), "contents of a");
    EXPECT_EQ(read(related, "sub/b.bin"), "contents of b");
    EXPECT_EQ(read(related, "sub/./../sub//b.bin"), "contents of b");
    EXPECT_EQ(read(related, percentDecode("my%20textures/h%C3%A9llo%20w.png")), "png");
    EXPECT_TRUE(related.refusals().empty());

    // Through a link to the model's folder, references still resolve in (and only in) it.
    fs::create_directory_symlink(model, top / "link");
    RelatedFiles viaLink(top / "link" / "model.gltf");
    EXPECT_EQ(read(viaLink, "a.bin"), "contents of a");
    EXPECT_EQ(read(viaLink, "../outside/secret.bin"), "refused: outside the model's folder");
}

TEST_F(RelatedFilesTest, RefusesNamesThatLeaveTheFolderAndReportsThem) {
    auto related = files();
    const std::string secret = (top / "outside" / "secret.bin").string();
    for (const std::string& reference :
         {std::string("../outside/secret.bin"), std::string("sub/../../outside/secret.bin"), secret,
          std::string("/etc/passwd"), std::string("file://") + secret, std::string("http://example.com/a.bin"),
          std::string("C:\\a.bin"), std::string("a.bin\0x", 7)})
        EXPECT_EQ(read(related, reference), "refused: outside the model's folder") << reference;
    EXPECT_EQ(read(related, ""), "refused: not found");
    EXPECT_EQ(read(related, "missing.bin"), "refused: not found");
    EXPECT_EQ(read(related, "a.bin/x"), "refused: not found");
    EXPECT_EQ(read(related, "a.bin"), "contents of a");

    const auto& refusals = related.refusals();
    EXPECT_EQ(refusals.size(), 11u);
    EXPECT_EQ(refusals.at("../outside/secret.bin"), "outside the model's folder");
    EXPECT_EQ(refusals.at(secret), "outside the model's folder");
    EXPECT_EQ(refusals.at("missing.bin"), "not found");
    EXPECT_EQ(refusals.count("a.bin"), 0u);
}

TEST_F(RelatedFilesTest, FollowsSymbolicLinksOnlyWhileTheyStayInside) {
    fs::create_symlink("sub/b.bin", model / "link-in");
    fs::create_directory_symlink("..", model / "sub" / "up");
    fs::create_symlink("../outside/secret.bin", model / "link-out");
    fs::create_directory_symlink(top / "outside", model / "folder-out");
    fs::create_symlink("sub/up/sub/up/link-out", model / "chain-out");
    fs::create_symlink("/dev/zero", model / "zero");
    fs::create_symlink("loop", model / "loop");
    auto related = files();
    EXPECT_EQ(read(related, "link-in"), "contents of b");
    EXPECT_EQ(read(related, "sub/up/a.bin"), "contents of a");
    for (const char* reference : {"link-out", "folder-out/secret.bin", "chain-out", "zero"})
        EXPECT_EQ(read(related, reference), "refused: outside the model's folder") << reference;
    EXPECT_EQ(read(related, "loop"), "refused: too many levels of symbolic links");
}

TEST_F(RelatedFilesTest, RefusesWhatIsNotARegularFileWithoutWaiting) {
    ASSERT_EQ(::mkfifo((model / "fifo").c_str(), 0600), 0);
    auto related = files();
    // A read that blocked on the FIFO would wait for a writer: be that writer after a while,
    // so a fault fails the test instead of hanging it.
    auto pending = std::async(std::launch::async, [&] { return read(related, "fifo"); });
    if (pending.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        const int writer = ::open((model / "fifo").c_str(), O_WRONLY);
        ::close(writer);
        ADD_FAILURE() << "reading a FIFO blocked";
    }
    EXPECT_EQ(pending.get(), "refused: not a regular file");

    EXPECT_EQ(read(related, "sub"), "refused: not a regular file");
    EXPECT_EQ(read(related, "sub/"), "refused: not a regular file");
    EXPECT_EQ(read(related, "."), "refused: not a regular file");

    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (model / "socket").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(read(related, "socket"), "refused: not a regular file");
    ::close(server);
}

TEST_F(RelatedFilesTest, CapsEachFileTheNumberOfFilesAndTheWholeLoad) {
    sized(model / "one.bin", MiB);
    sized(model / "two.bin", MiB);
    sized(model / "three.bin", MiB);
    sized(model / "big.bin", MiB + 1);

    auto related = files({.maxFileBytes = MiB, .budgetBytes = 2 * MiB, .maxFiles = 3});
    EXPECT_EQ(read(related, "big.bin"), "refused: larger than 1 MiB");
    EXPECT_EQ(read(related, "one.bin").size(), MiB);
    EXPECT_EQ(read(related, "two.bin").size(), MiB);
    EXPECT_EQ(read(related, "three.bin"), "refused: over the load's budget of 2 MiB");
    EXPECT_EQ(read(related, "./one.bin").size(), MiB); // already read: costs nothing more
    EXPECT_EQ(read(related, "a.bin"), "refused: over the load's budget of 2 MiB");

    auto few = files({.maxFileBytes = 1000, .budgetBytes = 4 * MiB, .maxFiles = 2});
    EXPECT_EQ(read(few, "one.bin"), "refused: larger than 1000 bytes");
    EXPECT_EQ(read(few, "a.bin"), "contents of a");
    EXPECT_EQ(read(few, "sub/b.bin"), "contents of b");
    EXPECT_EQ(read(few, "model.gltf"), "refused: too many files");
    EXPECT_EQ(read(few, "sub/../a.bin"), "contents of a");
    EXPECT_EQ(few.refusals().size(), 2u);
}

TEST_F(RelatedFilesTest, CountsALargeFileNamedTenThousandTimesOnce) {
    constexpr std::uint64_t size = 64 * MiB;
    sized(model / "scene.bin", size);
    fs::create_symlink("scene.bin", model / "alias.bin");
    auto related = files({.maxFileBytes = size, .budgetBytes = size + MiB, .maxFiles = 2});

    const auto start = std::chrono::steady_clock::now();
    std::string why;
    const auto first = related.read("scene.bin", why);
    ASSERT_TRUE(first) << why;
    const std::array<std::string, 4> spellings = {"scene.bin", "./scene.bin", "sub/../scene.bin", "alias.bin"};
    for (int i = 0; i < 10000; ++i) {
        const auto again = related.read(spellings[i % 4], why);
        ASSERT_TRUE(again) << why;
        ASSERT_EQ(again->get(), first->get());
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ((*first)->size(), size);
    EXPECT_EQ(read(related, "a.bin"), "contents of a"); // the budget still holds one more MiB
}

// An asset tree: the model three folders down, a file at each level above it, and a link
// from inside the widened folder to the secret outside it.
TEST_F(RelatedFilesTest, AReachWidensTheFolderByThatManyLevelsAndNoFurther) {
    const fs::path deep = top / "outside" / "a" / "b" / "c";
    fs::create_directories(deep / "model");
    write(deep / "one.bin", "one up");
    write(top / "outside" / "a" / "three.bin", "three up");
    write(top / "outside" / "four.bin", "four up");
    fs::create_symlink(top / "outside" / "secret.bin", top / "outside" / "a" / "b" / "link-out");
    fs::create_symlink("../four.bin", top / "outside" / "a" / "dot-out");
    RelatedFiles related(deep / "model" / "m.usda");

    EXPECT_EQ(read(related, "../one.bin"), "refused: outside the model's folder");
    EXPECT_EQ(read(related, "../one.bin", 1), "one up");
    EXPECT_EQ(read(related, "../../../three.bin", 1), "refused: outside the folder 1 level above the model's");

    auto reach3 = [&](std::string_view reference) { return read(related, reference, 3); };
    EXPECT_EQ(reach3("../one.bin"), "one up");
    EXPECT_EQ(reach3("../../../three.bin"), "three up");
    EXPECT_EQ(reach3("../../../b/c/model/../one.bin"), "one up");
    for (const char* reference : {"../../../../four.bin", "../../link-out", "../../../dot-out"})
        EXPECT_EQ(reach3(reference), "refused: outside the folder 3 levels above the model's") << reference;
    EXPECT_EQ(reach3("../../.."), "refused: not a regular file");
    EXPECT_EQ(reach3("/etc/hostname"), "refused: outside the folder 3 levels above the model's");
    EXPECT_EQ(related.refusals().at("../../../../four.bin"), "outside the folder 3 levels above the model's");

    // The widened folder stops below the file system's root.
    RelatedFiles shallow("/etc/m.usda");
    EXPECT_EQ(read(shallow, "../etc/hostname", 3), "refused: outside the model's folder");
}

TEST_F(RelatedFilesTest, WithoutALocationNothingResolves) {
    RelatedFiles related;
    EXPECT_FALSE(related.hasLocation());
    EXPECT_EQ(read(related, "a.bin"), "refused: no location");
    EXPECT_EQ(read(related, (model / "a.bin").string()), "refused: no location");
    EXPECT_EQ(related.refusals().size(), 2u);
    EXPECT_EQ(related.refusals().at("a.bin"), "no location");

    // A model whose folder is gone still has a location; its files are simply not there.
    RelatedFiles gone(top / "gone" / "model.gltf");
    EXPECT_TRUE(gone.hasLocation());
    EXPECT_EQ(read(gone, "a.bin"), "refused: not found");
    EXPECT_EQ(read(gone, "../model/a.bin"), "refused: outside the model's folder");
}

} // namespace
} // namespace trimeo
