// Runs the tests with TMPDIR pointed at a fresh directory and fails the run when any
// file is left in it at the end: no load may leave a temporary file behind.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("trimeo-test-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    setenv("TMPDIR", dir.c_str(), 1);

    testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();

    status = trimeo::test::failIfTemporaryFilesLeft(status);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
