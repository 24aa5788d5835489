#include "formats/assimp/IsolatedCall.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using trimeo::IsolatedTask;
using trimeo::isolatedMemoryLimitApplies;
using trimeo::runIsolated;

namespace {
constexpr std::size_t kNoLimit = 0;
using Bytes = std::vector<std::uint8_t>;

Bytes outputOf(const trimeo::IsolatedOutcome& o) { return {o.output().begin(), o.output().end()}; }

// Allocates and throws, as any reader does, then answers with the request reversed.
void echoReversed(std::span<const std::uint8_t> request, Bytes& out) {
    std::vector<std::string> words(100, std::string(64, 'w'));
    try {
        throw std::runtime_error(words.front());
    } catch (const std::exception&) {
        out.assign(request.rbegin(), request.rend());
    }
}
void crash(std::span<const std::uint8_t>, Bytes&) { std::raise(SIGSEGV); }
void fail(std::span<const std::uint8_t>, Bytes&) { throw std::runtime_error("no"); }
void hang(std::span<const std::uint8_t>, Bytes&) { std::this_thread::sleep_for(std::chrono::seconds(30)); }
// Touches every page, so without the limit this would really take 64 GiB.
void greedy(std::span<const std::uint8_t>, Bytes&) {
    std::vector<std::unique_ptr<char[]>> blocks;
    for (int i = 0; i < 1024; ++i) {
        blocks.emplace_back(new char[64 << 20]);
        std::memset(blocks.back().get(), 1, 64 << 20);
    }
}
void modest(std::span<const std::uint8_t>, Bytes& out) { out.assign(std::size_t(64) << 20, 7); }

constinit const IsolatedTask kEcho{"test-echo", &echoReversed}, kCrash{"test-crash", &crash},
    kFail{"test-fail", &fail}, kHang{"test-hang", &hang}, kGreedy{"test-greedy", &greedy},
    kModest{"test-modest", &modest};
TRIMEO_ISOLATED_TASK(kEcho);
TRIMEO_ISOLATED_TASK(kCrash);
TRIMEO_ISOLATED_TASK(kFail);
TRIMEO_ISOLATED_TASK(kHang);
TRIMEO_ISOLATED_TASK(kGreedy);
TRIMEO_ISOLATED_TASK(kModest);
} // namespace

TEST(IsolatedCall, HandsBackTheChildsBytesOrSaysWhyNot) {
    auto done = runIsolated(kEcho, Bytes{1, 2, 3}, 20, kNoLimit);
    EXPECT_TRUE(done.completed) << done.failure;
    EXPECT_EQ(outputOf(done), (Bytes{3, 2, 1}));

    auto crashed = runIsolated(kCrash, {}, 20, kNoLimit);
    EXPECT_FALSE(crashed.completed);
    EXPECT_NE(crashed.failure.find("failed on this file"), std::string::npos) << crashed.failure;

    auto threw = runIsolated(kFail, {}, 20, kNoLimit);
    EXPECT_FALSE(threw.completed);
    EXPECT_FALSE(threw.outOfMemory);
    EXPECT_EQ(threw.failure, "the model reader failed on this file");

    auto hung = runIsolated(kHang, {}, 1.0, kNoLimit);
    EXPECT_FALSE(hung.completed);
    EXPECT_EQ(hung.failure, "the model reader did not finish in time");
}

TEST(IsolatedCall, StopsAChildThatAsksForMoreThanItsMemoryLimit) {
    if (!isolatedMemoryLimitApplies()) GTEST_SKIP() << "sanitizer builds apply no address-space limit";
    auto big = runIsolated(kGreedy, {}, 60, std::size_t(256) << 20);
    EXPECT_FALSE(big.completed);
    EXPECT_TRUE(big.outOfMemory);

    auto small = runIsolated(kModest, {}, 60, std::size_t(256) << 20);
    EXPECT_TRUE(small.completed) << small.failure;
    EXPECT_EQ(small.output().size(), std::size_t(64) << 20);
}

// Readers are started from whichever thread loads, while the others allocate: a child must
// neither hang on a lock another thread held at the fork nor see another call's result.
TEST(IsolatedCall, StartsChildrenFromManyThreadsAtOnce) {
    constexpr int kThreads = 8, kCalls = 12;
    std::vector<int> good(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&good, t] {
            for (int i = 0; i < kCalls; ++i) {
                const Bytes request{std::uint8_t(t), std::uint8_t(i), 9};
                auto o = runIsolated(kEcho, request, 20, kNoLimit);
                if (o.completed && outputOf(o) == Bytes{9, std::uint8_t(i), std::uint8_t(t)}) ++good[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(good[t], kCalls) << "thread " << t;
}
