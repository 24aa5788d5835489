#include "loading/IsolatedCall.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

using trimeo::isolatedMemoryLimitApplies;
using trimeo::runIsolated;

namespace {
constexpr std::size_t kNoLimit = 0;

std::vector<std::uint8_t> outputOf(const trimeo::IsolatedOutcome& o) { return {o.output().begin(), o.output().end()}; }
} // namespace

TEST(IsolatedCall, HandsBackTheChildsBytesOrSaysWhyNot) {
    auto done = runIsolated([](std::vector<std::uint8_t>& out) { out = {1, 2, 3}; }, 10, kNoLimit);
    EXPECT_TRUE(done.completed);
    EXPECT_EQ(outputOf(done), (std::vector<std::uint8_t>{1, 2, 3}));

    auto crashed = runIsolated([](std::vector<std::uint8_t>&) { std::raise(SIGSEGV); }, 10, kNoLimit);
    EXPECT_FALSE(crashed.completed);
    EXPECT_NE(crashed.failure.find("failed on this file"), std::string::npos) << crashed.failure;

    auto threw = runIsolated([](std::vector<std::uint8_t>&) { throw 1; }, 10, kNoLimit);
    EXPECT_FALSE(threw.completed);
    EXPECT_FALSE(threw.outOfMemory);

    auto hung = runIsolated([](std::vector<std::uint8_t>&) { std::this_thread::sleep_for(std::chrono::seconds(30)); },
                            0.3, kNoLimit);
    EXPECT_FALSE(hung.completed);
    EXPECT_EQ(hung.failure, "the model reader did not finish in time");
}

TEST(IsolatedCall, StopsAChildThatAsksForMoreThanItsMemoryLimit) {
    if (!isolatedMemoryLimitApplies()) GTEST_SKIP() << "sanitizer builds apply no address-space limit";
    // Touches every page, so without the limit this would really take 64 GiB.
    auto greedy = runIsolated([](std::vector<std::uint8_t>&) {
        std::vector<std::unique_ptr<char[]>> blocks;
        for (int i = 0; i < 1024; ++i) {
            blocks.emplace_back(new char[64 << 20]);
            std::memset(blocks.back().get(), 1, 64 << 20);
        }
    }, 60, std::size_t(256) << 20);
    EXPECT_FALSE(greedy.completed);
    EXPECT_TRUE(greedy.outOfMemory);

    auto modest = runIsolated([](std::vector<std::uint8_t>& out) { out.assign(std::size_t(64) << 20, 7); }, 60,
                              std::size_t(256) << 20);
    EXPECT_TRUE(modest.completed);
    EXPECT_EQ(modest.output().size(), std::size_t(64) << 20);
}

// Readers are forked from whichever thread loads; children of one thread must neither
// hang on a lock another thread held at the fork nor see another thread's result.
TEST(IsolatedCall, ForksFromManyThreadsAtOnce) {
    constexpr int kThreads = 8, kCalls = 25;
    std::vector<int> good(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&good, t] {
            for (int i = 0; i < kCalls; ++i) {
                auto o = runIsolated([&](std::vector<std::uint8_t>& out) {
                    // Allocation and a thrown exception inside the child, as any reader does.
                    std::vector<std::string> words(100, std::string(64, char('a' + t)));
                    try {
                        throw std::runtime_error(words.front());
                    } catch (const std::exception& e) {
                        out.assign(e.what(), e.what() + 8);
                    }
                    out.push_back(std::uint8_t(t));
                    out.push_back(std::uint8_t(i));
                }, 20, kNoLimit);
                std::vector<std::uint8_t> want(8, std::uint8_t('a' + t));
                want.push_back(std::uint8_t(t));
                want.push_back(std::uint8_t(i));
                if (o.completed && outputOf(o) == want) ++good[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(good[t], kCalls) << "thread " << t;
}
