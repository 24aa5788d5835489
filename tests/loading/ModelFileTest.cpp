// Opening a model file: its bytes as written, the system's reason when it cannot be
// opened, and a refusal, before anything is decoded, of a model larger than memory.
#include "loading/ModelFile.h"
#include "loading/ModelLoader.h"
#include "formats/common/FileMapping.h"
#include "formats/common/MemoryBudget.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace {
namespace fs = std::filesystem;
using trimeo::FileOpenError;
using trimeo::ModelFile;

struct Folder {
    fs::path path = fs::temp_directory_path() / ("trimeo-model-file-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
    fs::path write(const std::string& name, const std::string& contents) const {
        std::ofstream(path / name, std::ios::binary) << contents;
        return path / name;
    }
};

std::string binarySTLHead(std::uint32_t facets) {
    std::string head(84, '\0');
    std::memcpy(head.data() + 80, &facets, 4);
    return head;
}

std::string reasonOpening(const fs::path& path) {
    try {
        ModelFile::open(path);
    } catch (const FileOpenError& e) {
        EXPECT_EQ(std::string(e.what()), path.string() + ": " + e.reason());
        return e.reason();
    }
    return "opened";
}

TEST(ModelFile, GivesTheBytesAsWrittenMappedOrRead) {
    Folder folder;
    const std::string text = "solid x\nendsolid x\n";
    const ModelFile file = ModelFile::open(folder.write("a.stl", text));
    EXPECT_TRUE(file.isMapped());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.bytes().data()), file.bytes().size()), text);
    const ModelFile empty = ModelFile::open(folder.write("empty.stl", ""));
    EXPECT_TRUE(empty.bytes().empty());
    ModelFile moved = ModelFile::open(folder.path / "a.stl");
    const ModelFile taken(std::move(moved));
    EXPECT_EQ(taken.bytes().size(), text.size());
    EXPECT_TRUE(moved.bytes().empty());
}

// Resident KiB of the mapping that starts at `start`, from the process's own page tables.
std::size_t residentKiB(const void* start) {
    std::ifstream smaps("/proc/self/smaps");
    std::ostringstream head;
    head << std::hex << reinterpret_cast<std::uintptr_t>(start) << '-';
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        if (line.find('-') < line.find(' ') && line.find(' ') != std::string::npos) inside = line.rfind(head.str(), 0) == 0;
        if (inside && line.rfind("Rss:", 0) == 0) return std::stoul(line.substr(4));
    }
    return 0;
}

TEST(ModelFile, ReleasedBytesLeaveMemoryButStayReadable) {
    Folder folder;
    std::string pattern(4 << 20, '\0');
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = char(i * 7 + i / 4096);
    const ModelFile file = ModelFile::open(folder.write("pattern.bin", pattern));
    ASSERT_TRUE(file.isMapped());
    const auto bytes = file.bytes();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), pattern); // all resident now
    EXPECT_GE(residentKiB(bytes.data()), 4000u);
    trimeo::releaseFileBytes(bytes.subspan(100, 2 << 20)); // whole pages inside only
    const std::size_t half = residentKiB(bytes.data());
    EXPECT_LT(half, 2100u);
    EXPECT_GT(half, 2000u);
    trimeo::releaseFileBytes(bytes);
    EXPECT_LT(residentKiB(bytes.data()), 8u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), pattern);

    // Memory that is no file mapping would lose its contents: it is left alone.
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    trimeo::releaseFileBytes(copy);
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), pattern.begin(), [](std::uint8_t a, char b) { return a == std::uint8_t(b); }));
}

// Files larger than the steps in which their pages are given back while they are read.
TEST(ModelFile, ModelReadWhileItsBytesAreReleasedKeepsEveryVertex) {
    Folder folder;
    const std::uint32_t facets = 400000; // 20 MB binary, some 80 MB of text
    std::vector<float> corners(std::size_t(facets) * 9);
    for (std::size_t i = 0; i < corners.size(); ++i) corners[i] = float(i % 100003) * 0.25f;
    std::string binary = binarySTLHead(facets);
    std::string text = "solid big\n";
    for (std::uint32_t f = 0; f < facets; ++f) {
        binary.append(12, '\0');
        binary.append(reinterpret_cast<const char*>(&corners[std::size_t(f) * 9]), 36);
        binary.append(2, '\0');
        text += "facet normal 0 0 0\nouter loop\n";
        for (int v = 0; v < 3; ++v) {
            const float* p = &corners[std::size_t(f) * 9 + std::size_t(v) * 3];
            text += "vertex " + std::to_string(p[0]) + ' ' + std::to_string(p[1]) + ' ' + std::to_string(p[2]) + '\n';
        }
        text += "endloop\nendfacet\n";
    }
    text += "endsolid big\n";
    std::string obj;
    for (std::size_t v = 0; v < corners.size(); v += 3)
        obj += "v " + std::to_string(corners[v]) + ' ' + std::to_string(corners[v + 1]) + ' ' +
               std::to_string(corners[v + 2]) + '\n';
    for (std::uint32_t f = 0; f < facets; ++f)
        obj += "f " + std::to_string(3 * f + 1) + ' ' + std::to_string(3 * f + 2) + ' ' + std::to_string(3 * f + 3) + '\n';
    for (const auto& [name, contents] :
         {std::pair{"big.stl", &binary}, std::pair{"big-ascii.stl", &text}, std::pair{"big.obj", &obj}}) {
        const ModelFile file = ModelFile::open(folder.write(name, *contents));
        ASSERT_TRUE(file.isMapped());
        const auto result = trimeo::ModelLoader::load(file.bytes(), folder.path / name);
        ASSERT_TRUE(result.scene) << name;
        const auto& geometry = *result.scene->rootNode->childNodes().at(0)->geometry;
        EXPECT_EQ(geometry.sources.at(0).data, corners) << name;
        EXPECT_EQ(geometry.validTriangleCount(), facets) << name;
        EXPECT_LT(residentKiB(file.bytes().data()), contents->size() / 1024 / 2) << name; // given back on the way
        EXPECT_EQ(std::memcmp(file.bytes().data(), contents->data(), contents->size()), 0) << name;
    }
}

TEST(ModelFile, SaysWhyAFileCannotBeOpened) {
    Folder folder;
    EXPECT_EQ(reasonOpening(folder.path / "missing.stl"), "No such file or directory");
    EXPECT_EQ(reasonOpening(folder.path), "Is a directory");
    EXPECT_EQ(reasonOpening("/dev/zero"), "Not a regular file");
}

TEST(ModelFile, RefusesAModelLargerThanMemoryWithoutReadingIt) {
    Folder folder;
    // Four billion facets, sparse on disk: some 200 GB of decoded triangles.
    const fs::path path = folder.write("huge.stl", binarySTLHead(0xFFFFFFFF));
    fs::resize_file(path, 84 + 50 * std::uint64_t(0xFFFFFFFF));
    try {
        ModelFile::open(path);
        ADD_FAILURE() << "opened";
    } catch (const FileOpenError& e) {
        ADD_FAILURE() << e.what();
    } catch (const trimeo::PlatformError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Not enough memory to load this model", 0), 0u) << e.what();
    }
    // The same size of zeros decodes to nothing in particular: opened, and left to the loader.
    const fs::path zeros = folder.write("zeros.stl", "");
    fs::resize_file(zeros, std::uint64_t(3) << 30);
    EXPECT_EQ(ModelFile::open(zeros).bytes().size(), std::uint64_t(3) << 30);
}

TEST(ModelFile, EstimatesTheLeastAModelDecodesTo) {
    using trimeo::decodedSizeEstimate;
    std::string binary = binarySTLHead(10) + std::string(500, '\0');
    auto span = [](const std::string& s) { return std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); };
    EXPECT_EQ(decodedSizeEstimate(span(binary), "stl"), 360u); // positions only: no index list
    binary.push_back('\0'); // no longer a binary body of its facets
    EXPECT_EQ(decodedSizeEstimate(span(binary), "stl"), binary.size() / 16);
    const std::string ply = "ply\nformat binary_little_endian 1.0\n" + std::string(1000, 'x');
    EXPECT_EQ(decodedSizeEstimate(span(ply), "ply"), ply.size() / 2);
    EXPECT_EQ(decodedSizeEstimate(span(ply), "obj"), ply.size() / 16);
    const std::string zip = "PK\x03\x04" + std::string(100, 'z');
    EXPECT_EQ(decodedSizeEstimate(span(zip), "3mf"), zip.size());
}

TEST(MemoryBudget, ReportsRoomAndRefusesWhatExceedsIt) {
    const trimeo::MemoryRoom room = trimeo::memoryRoom();
    EXPECT_GT(room.memory, 0u);
    EXPECT_GT(room.addressSpace, 0u);
    EXPECT_NO_THROW(trimeo::requireMemory(1 << 20));
    EXPECT_THROW(trimeo::requireMemory(~std::uint64_t(0)), trimeo::PlatformError);
}

} // namespace
