// Opening a model file: its bytes as written, the system's reason when it cannot be
// opened, and a refusal, before anything is decoded, of a model larger than memory.
#include "loading/ModelFile.h"
#include "formats/common/MemoryBudget.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

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
    EXPECT_EQ(decodedSizeEstimate(span(binary), "stl"), 480u);
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
