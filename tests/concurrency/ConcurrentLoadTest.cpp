// Many loads of different formats at once, on separate threads: each must give exactly what
// the same file gives when loaded alone, and the temporary directory must be empty after.
// Built also with ThreadSanitizer, which then checks the threads share nothing unguarded
// (the asset route forks a reader process from each of them).
#include "loading/ModelLoader.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

using trimeo::LoaderError;
using trimeo::ModelLoader;
using trimeo::PlatformError;
namespace fs = std::filesystem;

namespace {

struct Input {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

// What a load gave, in a form two loads can be compared by.
std::string outcomeOf(const Input& input) {
    try {
        auto result = ModelLoader::load(input.bytes, fs::path("/models") / input.name);
        std::size_t nodes = 0, vertices = 0, triangles = 0;
        result.scene->rootNode->enumerateChildNodes([&](const auto& node) {
            ++nodes;
            if (!node->geometry) return;
            vertices += node->geometry->vertexCount();
            triangles += node->geometry->validTriangleCount();
        });
        return "model " + std::to_string(nodes) + " nodes " + std::to_string(vertices) + " vertices " +
               std::to_string(triangles) + " triangles " + std::to_string(result.animations.size()) + " animations";
    } catch (const LoaderError& e) {
        return "error " + e.errorDescription();
    } catch (const PlatformError& e) {
        return std::string("platform error ") + e.what();
    } catch (const std::exception& e) {
        return std::string("escaped ") + e.what();
    }
}

// Every route: the asset reader (forked per load), the scene reader, glTF, GLB, 3MF, and
// refusals of each kind.
std::vector<Input> inputs() {
    std::vector<Input> out;
    for (const auto& e : fs::directory_iterator(TRIMEO_HOSTILE_CORPUS)) {
        const std::string name = e.path().filename().string();
        const bool wanted = name.rfind("valid_", 0) == 0 || name == "empty.vdb" || name == "empty.obj" ||
                            name == "empty.scn" || name == "truncated_cube_at_5.ply" ||
                            name == "hostile_gltf_nested_arrays.gltf" || name == "hostile_3mf_claims_4g.3mf" ||
                            name == "truncated_cube_at_5.3mf" || name == "truncated_cube_at_5.dae";
        if (wanted) out.push_back({name, trimeo::test::readFile(e.path())});
    }
    out.push_back({"model.xyz", trimeo::test::bytes("nothing")});
    std::sort(out.begin(), out.end(), [](const Input& a, const Input& b) { return a.name < b.name; });
    return out;
}

TEST(ConcurrentLoads, EachGivesWhatItGivesAloneAndNoFileIsLeft) {
    const std::vector<Input> files = inputs();
    ASSERT_GE(files.size(), 15u);
    std::map<std::string, std::string> alone;
    for (const Input& f : files) alone[f.name] = outcomeOf(f);
    for (const Input& f : files) {
        if (f.name.rfind("valid_", 0) == 0) {
            EXPECT_EQ(alone[f.name].rfind("model ", 0), 0u) << f.name << ": " << alone[f.name];
        }
    }

    constexpr std::size_t kThreads = 8, kRounds = 2;
    std::vector<std::vector<std::string>> seen(kThreads);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread starts at a different file, so different routes overlap.
            for (std::size_t i = 0; i < kRounds * files.size(); ++i) {
                const Input& f = files[(t * 3 + i) % files.size()];
                seen[t].push_back(f.name + ": " + outcomeOf(f));
            }
        });
    }
    for (auto& th : threads) th.join();

    for (std::size_t t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), kRounds * files.size());
        for (std::size_t i = 0; i < seen[t].size(); ++i) {
            const Input& f = files[(t * 3 + i) % files.size()];
            EXPECT_EQ(seen[t][i], f.name + ": " + alone[f.name]) << "thread " << t;
        }
    }
    EXPECT_TRUE(trimeo::test::temporaryDirectoryEntries().empty());
}

} // namespace
