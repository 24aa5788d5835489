// Writes the USD fuzzers' seeds: the test stages (one with every composition arc) as usda, as usdc (current and 0.6 layout)
// and packed in usdz. Usage: usd_fuzz_seeds <directory>
#include "../threemf/ZipPackage.h"
#include "CrateWriter.h"
#include "UsdFixtures.h"
#include "formats/usd/UsdaParser.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {

void save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: usd_fuzz_seeds <directory>\n";
        return 2;
    }
    const std::string dir = argv[1];
    const std::pair<const char*, const char*> stages[] = {{"two_mesh", trimeo::test::kTwoMeshStage},
                                                         {"rich", trimeo::test::kRichStage},
                                                         {"arcs", trimeo::test::kArcStage}};
    for (const auto& [name, text] : stages) {
        const std::string usda = text;
        const auto stage = trimeo::usd::parseUsda(usda);
        const auto usdc = trimeo::test::writeCrate(stage, {{"xformOp:translate"}});
        save(dir + "/" + name + ".usda", {usda.begin(), usda.end()});
        save(dir + "/" + name + ".usdc", usdc);
        save(dir + "/" + name + "_v06.usdc", trimeo::test::writeCrate(stage, {{}, 6}));
        save(dir + "/" + name + ".usdz",
             trimeo::test::ZipPackage().file("scene.usdc", std::string(usdc.begin(), usdc.end()), false).bytes());
    }
    return 0;
}
