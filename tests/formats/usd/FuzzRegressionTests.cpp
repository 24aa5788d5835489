#include "UsdFixtures.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

// Inputs the fuzzer once crashed the reader with: each must now be refused cleanly.
TEST(UsdFuzzRegressions, EveryFormerCrasherIsRefused) {
    const auto folder = std::filesystem::path(TRIMEO_SOURCE_DIR) / "tests/formats/usd/fuzz-regressions";
    std::size_t checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const auto bytes = trimeo::test::readFile(entry.path());
        const std::string ext = entry.path().extension().string().substr(1);
        const auto read = trimeo::test::readUsd(bytes, ext);
        EXPECT_FALSE(read.error.empty()) << entry.path().filename();
        ++checked;
    }
    EXPECT_GT(checked, 0u);
}

} // namespace
