#include "formats/threemf/PackageExtractor.h"

#include "ZipPackage.h"
#include "formats/common/TemporaryFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <fstream>

namespace fs = std::filesystem;
using trimeo::test::ZipPackage;
using namespace trimeo::threemf;

namespace {

// The layout of one import: <temp>/<UUID>/model.3mf and <temp>/<UUID>/extracted.
struct Unpacked {
    trimeo::TemporaryDirectory work;
    ExtractionReport report;
    fs::path extracted() const { return work.path() / "extracted"; }

    // Every path below the working directory, relative to it; symbolic links marked "@".
    std::vector<std::string> tree() const {
        std::vector<std::string> paths;
        for (const auto& e : fs::recursive_directory_iterator(work.path()))
        {
            std::string path = fs::relative(e.path(), work.path()).string();
            if (e.is_symlink()) path += '@';
            paths.push_back(std::move(path));
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }
};

std::unique_ptr<Unpacked> unpack(const std::vector<std::uint8_t>& archive, ExtractionLimits limits = {}) {
    auto u = std::make_unique<Unpacked>();
    trimeo::writeWholeFile(u->work.path() / "model.3mf", archive);
    fs::create_directory(u->extracted());
    u->report = extractPackage(u->work.path() / "model.3mf", u->extracted(), limits);
    return u;
}

std::string contents(const fs::path& path) {
    auto data = trimeo::test::readFile(path);
    return {data.begin(), data.end()};
}

void putLittleEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = std::uint8_t(value >> (8 * i));
}

std::size_t find(const std::vector<std::uint8_t>& haystack, const std::string& needle, std::size_t from = 0) {
    auto it = std::search(haystack.begin() + std::ptrdiff_t(from), haystack.end(), needle.begin(), needle.end());
    return it == haystack.end() ? std::string::npos : std::size_t(it - haystack.begin());
}

// The offset of the ZIP header with this signature whose file name (at `nameOffset`) is `name`.
std::size_t headerNaming(const std::vector<std::uint8_t>& zip, const std::string& signature, std::size_t nameOffset,
                         const std::string& name) {
    for (std::size_t at = find(zip, signature); at != std::string::npos; at = find(zip, signature, at + 4))
        if (find(zip, name, at) == at + nameOffset) return at;
    throw std::runtime_error("no header for " + name);
}

} // namespace

TEST(PackageExtractor, KeepsArchivePathsAndCreatesDirectories) {
    auto u = unpack(ZipPackage()
                        .directory("3D/")
                        .file("3D/3dmodel.model", "main")
                        .file("3D/Objects/deep/part.model", "part", false)
                        .file("./Metadata//thumb.png", "png")
                        .directory("empty/dir/")
                        .bytes());
    EXPECT_TRUE(u->report.openedArchive);
    EXPECT_EQ(u->report.filesWritten, 3u);
    EXPECT_EQ(u->report.entriesRefused, 0u);
    EXPECT_FALSE(u->report.stoppedAtLimit);
    EXPECT_EQ(u->report.bytesWritten, 11u);
    EXPECT_EQ(contents(u->extracted() / "3D/3dmodel.model"), "main");
    EXPECT_EQ(contents(u->extracted() / "3D/Objects/deep/part.model"), "part");
    EXPECT_EQ(contents(u->extracted() / "Metadata/thumb.png"), "png");
    EXPECT_TRUE(fs::is_directory(u->extracted() / "empty/dir"));
}

TEST(PackageExtractor, NoEntryLandsOutsideTheExtractionDirectory) {
    const auto before = trimeo::test::temporaryDirectoryEntries();
    auto u = unpack(ZipPackage()
                        .file("../escape.model", "x")
                        .file("../../escape.model", "x")
                        .file("/abs.model", "x")
                        .file("3D/../../escape2.model", "x")
                        .file("3D/..", "x")
                        .file("3D/3dmodel.model", "main")
                        .bytes());
    EXPECT_EQ(u->report.filesWritten, 1u);
    EXPECT_EQ(u->report.entriesRefused, 5u);
    EXPECT_EQ(u->tree(), (std::vector<std::string>{"extracted", "extracted/3D", "extracted/3D/3dmodel.model", "model.3mf"}));
    EXPECT_EQ(trimeo::test::temporaryDirectoryEntries().size(), before.size() + 1) << "only the working directory";
    EXPECT_FALSE(fs::exists("/abs.model"));
}

TEST(PackageExtractor, SymbolicLinksAreNeitherCreatedNorFollowed) {
    trimeo::TemporaryDirectory outside;
    auto u = unpack(ZipPackage()
                        .symlink("link", outside.path().string())
                        .file("link/evil.model", "written through the link?")
                        .symlink("3D/3dmodel.model", "/etc/passwd")
                        .bytes());
    EXPECT_EQ(u->report.entriesRefused, 2u);
    EXPECT_TRUE(fs::is_empty(outside.path()));
    // The file entry under "link" lands in a real directory of that name, inside.
    EXPECT_EQ(u->tree(), (std::vector<std::string>{"extracted", "extracted/link", "extracted/link/evil.model", "model.3mf"}));
    EXPECT_FALSE(fs::exists(u->extracted() / "3D/3dmodel.model"));

    // Link modes mean something only in archives made on Unix; elsewhere the entry is a file.
    u = unpack(ZipPackage().symlink("dos.txt", "/etc/passwd", 0).bytes());
    EXPECT_FALSE(fs::is_symlink(u->extracted() / "dos.txt"));
    EXPECT_EQ(contents(u->extracted() / "dos.txt"), "/etc/passwd");
}

TEST(PackageExtractor, AZipBombStopsAtTheSizeLimit) {
    const std::string zeros(8 << 20, '\0'); // deflates to a few KiB
    const auto bomb = ZipPackage().file("small.txt", "ok").file("bomb.bin", zeros).file("after.txt", "late").bytes();
    ASSERT_LT(bomb.size(), 64u << 10);

    auto u = unpack(bomb, {1 << 20, 100});
    EXPECT_TRUE(u->report.stoppedAtLimit);
    EXPECT_EQ(u->report.filesWritten, 1u);
    EXPECT_EQ(u->tree(), (std::vector<std::string>{"extracted", "extracted/small.txt", "model.3mf"}));

    // The same archive declaring a tiny size: the bytes that really come out are counted.
    auto lying = bomb;
    const std::size_t local = headerNaming(lying, "PK\x03\x04", 30, "bomb.bin");
    const std::size_t central = headerNaming(lying, "PK\x01\x02", 46, "bomb.bin");
    putLittleEndian32(lying, local + 22, 100);
    putLittleEndian32(lying, central + 24, 100);
    u = unpack(lying, {1 << 20, 100});
    EXPECT_TRUE(u->report.stoppedAtLimit);
    EXPECT_LE(u->report.bytesWritten, 1u << 20);
    EXPECT_FALSE(fs::exists(u->extracted() / "bomb.bin")) << "a cut-off entry is removed, not left half written";
    std::uintmax_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(u->extracted()))
        if (e.is_regular_file()) total += e.file_size();
    EXPECT_LE(total, 1u << 20);
}

TEST(PackageExtractor, StopsAtTheEntryLimit) {
    ZipPackage package;
    for (int i = 0; i < 30; ++i) package.file(std::string("f").append(std::to_string(i)), "x");
    auto u = unpack(package.bytes(), {1 << 20, 10});
    EXPECT_TRUE(u->report.stoppedAtLimit);
    EXPECT_EQ(u->report.filesWritten, 10u);
    EXPECT_EQ(u->tree().size(), 12u); // extracted, model.3mf and ten files

    // Directories count too: one deep entry cannot create thousands of them.
    std::string deep;
    for (int i = 0; i < 40; ++i) deep += "d/";
    u = unpack(ZipPackage().file(deep + "file", "x").file("after", "x").bytes(), {1 << 20, 10});
    EXPECT_TRUE(u->report.stoppedAtLimit);
    EXPECT_EQ(u->report.filesWritten, 0u);
    EXPECT_LE(u->tree().size(), 12u);
}

TEST(PackageExtractor, DamagedEntriesAndNonArchivesLeaveNothingBehind) {
    auto archive = ZipPackage().file("good.txt", "fine").file("bad.txt", "checksummed content", false).bytes();
    archive.at(find(archive, "checksummed content")) ^= 0x20;
    auto u = unpack(archive);
    EXPECT_EQ(u->report.filesWritten, 1u);
    EXPECT_EQ(u->report.entriesRefused, 1u);
    EXPECT_EQ(u->tree(), (std::vector<std::string>{"extracted", "extracted/good.txt", "model.3mf"}));

    u = unpack(trimeo::test::bytes("this is not a ZIP archive"));
    EXPECT_FALSE(u->report.openedArchive);
    EXPECT_EQ(u->tree(), (std::vector<std::string>{"extracted", "model.3mf"}));

    // An entry path that needs a file to be a directory is refused, not forced.
    u = unpack(ZipPackage().file("a", "file").file("a/b", "under a file").bytes());
    EXPECT_EQ(u->report.entriesRefused, 1u);
    EXPECT_EQ(contents(u->extracted() / "a"), "file");
}

TEST(PackageExtractor, AHeldEntryComesIntoMemoryWithAnEmptyFileInItsPlace) {
    const std::string model(100000, 'm');
    const auto archive = ZipPackage().file("a.txt", "a").file("3D/3dmodel.model", model).file("b.txt", "b").bytes();
    const auto plain = unpack(archive);

    Unpacked u;
    trimeo::writeWholeFile(u.work.path() / "model.3mf", archive);
    fs::create_directory(u.extracted());
    HeldEntry held;
    held.path = "./3D//3dmodel.model"; // matched as the unpacking splits it
    held.maxBytes = 1 << 20;
    u.report = extractPackage(u.work.path() / "model.3mf", u.extracted(), {}, &held);
    EXPECT_TRUE(held.unpacked);
    EXPECT_FALSE(held.tooLarge);
    EXPECT_EQ(std::string(held.bytes.begin(), held.bytes.end()), model);
    EXPECT_EQ(u.tree(), plain->tree());
    EXPECT_EQ(fs::file_size(u.extracted() / "3D/3dmodel.model"), 0u);
    EXPECT_EQ(u.report.bytesWritten, plain->report.bytesWritten) << "held bytes count as written ones";
    EXPECT_EQ(u.report.filesWritten, plain->report.filesWritten);
}

TEST(PackageExtractor, AHeldEntryFollowsItsFile) {
    auto holding = [](const std::vector<std::uint8_t>& archive, std::uint64_t maxBytes) {
        auto u = std::make_unique<Unpacked>();
        trimeo::writeWholeFile(u->work.path() / "model.3mf", archive);
        fs::create_directory(u->extracted());
        HeldEntry held;
        held.path = "m";
        held.maxBytes = maxBytes;
        u->report = extractPackage(u->work.path() / "model.3mf", u->extracted(), {}, &held);
        EXPECT_EQ(fs::exists(u->extracted() / "m"), held.unpacked);
        return held;
    };
    // A later entry of the same path replaces it, as it would the file (libzip writes no
    // two entries of one name: the second is renamed in place).
    auto twice = [](const std::string& second, bool compressed) {
        auto archive = ZipPackage().file("m", "first").file("n", second, compressed).bytes();
        archive.at(headerNaming(archive, "PK\x03\x04", 30, "n") + 30) = 'm';
        archive.at(headerNaming(archive, "PK\x01\x02", 46, "n") + 46) = 'm';
        return archive;
    };
    HeldEntry held = holding(twice("second", true), 100);
    EXPECT_EQ(std::string(held.bytes.begin(), held.bytes.end()), "second");

    // A damaged one removes it with its file.
    auto damaged = twice("checksummed content", false);
    damaged.at(find(damaged, "checksummed content")) ^= 0x20;
    held = holding(damaged, 100);
    EXPECT_FALSE(held.unpacked);
    EXPECT_TRUE(held.bytes.empty());

    // Past its bound it is counted, not kept.
    held = holding(ZipPackage().file("m", std::string(101, 'x')).bytes(), 100);
    EXPECT_TRUE(held.unpacked);
    EXPECT_TRUE(held.tooLarge);
    EXPECT_TRUE(held.bytes.empty());
    held = holding(ZipPackage().file("m", std::string(100, 'x')).bytes(), 100);
    EXPECT_FALSE(held.tooLarge);
    EXPECT_EQ(held.bytes.size(), 100u);
}

TEST(PackageExtractor, AHeldEntryIsToldAsItComesAndAbandonedWhenItsBytesWouldChange) {
    struct Told {
        HeldEntry held;
        ArrivingDocument arriving;
    };
    auto unpackTelling = [](const std::vector<std::uint8_t>& archive) {
        auto t = std::make_unique<Told>();
        trimeo::TemporaryDirectory work;
        trimeo::writeWholeFile(work.path() / "model.3mf", archive);
        fs::create_directory(work.path() / "x");
        t->held.path = "m";
        t->held.maxBytes = 1 << 20;
        t->held.arriving = &t->arriving;
        extractPackage(work.path() / "model.3mf", work.path() / "x", {}, &t->held);
        t->arriving.close();
        return t;
    };
    const std::string content(300000, 'c'); // many pieces of the unpacking's buffer
    auto t = unpackTelling(ZipPackage().file("a", "a").file("m", content).bytes());
    EXPECT_TRUE(t->arriving.finishedWhole());
    const auto state = t->arriving.waitBeyond(0);
    EXPECT_EQ(state.arrived, content.size());
    EXPECT_EQ(state.begin, t->held.bytes.data()) << "told where the held bytes are";
    EXPECT_TRUE(t->held.told.empty());

    // A later entry of the path: the first one's bytes stay where they were told.
    auto archive = ZipPackage().file("m", content).file("n", "second").bytes();
    archive.at(headerNaming(archive, "PK\x03\x04", 30, "n") + 30) = 'm';
    archive.at(headerNaming(archive, "PK\x01\x02", 46, "n") + 46) = 'm';
    t = unpackTelling(archive);
    EXPECT_FALSE(t->arriving.finishedWhole());
    EXPECT_EQ(std::string(t->held.bytes.begin(), t->held.bytes.end()), "second");
    EXPECT_EQ(t->held.told.size(), content.size());
    EXPECT_EQ(t->arriving.waitBeyond(0).begin, t->held.told.data());

    // An entry declaring less than it holds outgrows its room: abandoned, still held whole.
    archive = ZipPackage().file("m", content).bytes();
    putLittleEndian32(archive, headerNaming(archive, "PK\x03\x04", 30, "m") + 22, 1000);
    putLittleEndian32(archive, headerNaming(archive, "PK\x01\x02", 46, "m") + 24, 1000);
    t = unpackTelling(archive);
    EXPECT_FALSE(t->arriving.finishedWhole());
    EXPECT_EQ(std::string(t->held.bytes.begin(), t->held.bytes.end()), content);
}

TEST(PackageExtractor, AHeldEntrysDeclaredSizeReservesNoMoreThanItsCompressedBytesCanHold) {
    auto archive = ZipPackage().file("m", std::string(1000, 'x')).bytes();
    putLittleEndian32(archive, headerNaming(archive, "PK\x03\x04", 30, "m") + 22, 0x60000000u);
    putLittleEndian32(archive, headerNaming(archive, "PK\x01\x02", 46, "m") + 24, 0x60000000u);
    trimeo::TemporaryDirectory work;
    trimeo::writeWholeFile(work.path() / "model.3mf", archive);
    fs::create_directory(work.path() / "x");
    HeldEntry held;
    ArrivingDocument arriving; // keeps what it was told, however the entry ends
    held.path = "m";
    held.maxBytes = std::uint64_t(1) << 40;
    held.arriving = &arriving;
    extractPackage(work.path() / "model.3mf", work.path() / "x", {}, &held);
    EXPECT_LT(held.bytes.capacity() + held.told.capacity(), std::size_t(1) << 20);
}
