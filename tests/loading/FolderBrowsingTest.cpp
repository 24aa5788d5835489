// Natural order and stepping through a folder of model files made for the test.
#include "loading/FolderBrowsing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace trimeo {
namespace {

namespace fs = std::filesystem;

TEST(FolderBrowsing, NaturalOrderComparesDigitRunsByValueAndTextWithoutCase) {
    std::vector<std::string> names{"part10.stl", "part2.stl", "Part1.stl", "part02.stl", "part2b.stl",
                                   "part.stl",   "a.obj",     "B.obj",     "part99999999999999999999.stl"};
    std::sort(names.begin(), names.end(), naturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"a.obj", "B.obj", "part.stl", "Part1.stl", "part02.stl", "part2.stl",
                                                "part2b.stl", "part10.stl", "part99999999999999999999.stl"}));
    EXPECT_TRUE(naturalLess("part2", "part10"));
    EXPECT_FALSE(naturalLess("part10", "part2"));
    EXPECT_FALSE(naturalLess("x", "x"));
    EXPECT_TRUE(naturalLess("X", "x")); // equal but for case: byte order decides
}

class Folder : public testing::Test {
protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("browse-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::create_directories(dir_ / "sub.stl");
        for (const char* name : {"part10.stl", "part2.3MF", "part1.obj", "notes.txt", "volume.vdb", "part3.glb"})
            std::ofstream(dir_ / name) << "x";
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::vector<std::string> names(const std::vector<fs::path>& paths) {
        std::vector<std::string> out;
        for (const auto& p : paths) out.push_back(p.filename().string());
        return out;
    }
    fs::path dir_;
};

TEST_F(Folder, ListsReadableFilesInNaturalOrderWithoutFoldersOrUnreadableTypes) {
    EXPECT_EQ(names(modelFilesIn(dir_)),
              (std::vector<std::string>{"part1.obj", "part2.3MF", "part3.glb", "part10.stl"}));
    EXPECT_TRUE(modelFilesIn(dir_ / "missing").empty());
}

TEST_F(Folder, StepsForwardAndBackWrappingAtTheEnds) {
    EXPECT_EQ(neighbourModelFile(dir_ / "part2.3MF", 1)->filename(), "part3.glb");
    EXPECT_EQ(neighbourModelFile(dir_ / "part2.3MF", -1)->filename(), "part1.obj");
    EXPECT_EQ(neighbourModelFile(dir_ / "part10.stl", 1)->filename(), "part1.obj");
    EXPECT_EQ(neighbourModelFile(dir_ / "part1.obj", -1)->filename(), "part10.stl");
    // A file that is gone, or not a model, steps from where its name would stand.
    EXPECT_EQ(neighbourModelFile(dir_ / "part5.stl", 1)->filename(), "part10.stl");
    EXPECT_EQ(neighbourModelFile(dir_ / "part5.stl", -1)->filename(), "part3.glb");
    EXPECT_EQ(neighbourModelFile(dir_ / "notes.txt", 1)->filename(), "part1.obj");
}

TEST_F(Folder, ALoneModelHasNoNeighbour) {
    for (const char* name : {"part10.stl", "part2.3MF", "part3.glb"}) fs::remove(dir_ / name);
    EXPECT_FALSE(neighbourModelFile(dir_ / "part1.obj", 1));
    EXPECT_FALSE(neighbourModelFile(dir_ / "part1.obj", -1));
}

} // namespace
} // namespace trimeo
