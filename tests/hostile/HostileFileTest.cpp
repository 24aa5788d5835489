// Every file of the generated hostile corpus, each loaded in a process of its own: it must
// end in a model or an error, within a bounded time and peak memory, leaving no temporary
// file. The "valid_*" files must load, so that their cut-off forms test what they claim.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
namespace fs = std::filesystem;

// Generous on purpose: the isolated asset reader alone may take 20 s before it is killed,
// and sanitizer builds run several times slower and bigger than release builds.
constexpr std::chrono::seconds kTimeLimit{90};
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif
// AddressSanitizer's shadow memory and red zones about double a load's peak.
constexpr long kPeakLimitKiB = (kSanitized ? 1024L : 512L) * 1024;

struct CaseOutcome {
    bool finished = false;
    int status = 0;
    long peakKiB = 0;
    double seconds = 0;
    std::string output;
};

std::vector<std::string> corpusFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(TRIMEO_HOSTILE_CORPUS)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs hostile_load on `file` with TMPDIR set to `tmp`; kills it at the time limit.
CaseOutcome runCase(const fs::path& file, const fs::path& tmp) {
    const fs::path log = tmp.parent_path() / (tmp.filename().string() + ".out");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("TMPDIR=", 0) != 0) env.emplace_back(*e);
    env.push_back("TMPDIR=" + tmp.string());
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string exe = TRIMEO_HOSTILE_LOAD, arg = file.string();
    char* argv[] = {exe.data(), arg.data(), nullptr};

    CaseOutcome outcome;
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return outcome;
    rusage usage{};
    for (;;) {
        const pid_t r = wait4(pid, &outcome.status, WNOHANG, &usage);
        if (r == pid) {
            outcome.finished = true;
            break;
        }
        if (std::chrono::steady_clock::now() - start > kTimeLimit) {
            kill(pid, SIGKILL);
            wait4(pid, &outcome.status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The child's own peak, or that of the reader process it forked when that was bigger.
    outcome.peakKiB = usage.ru_maxrss;
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    outcome.output = text.str();
    fs::remove(log);
    return outcome;
}

class HostileFile : public testing::TestWithParam<std::string> {};

TEST_P(HostileFile, LoadsOrFailsWithinBounds) {
    const std::string name = GetParam();
    const fs::path tmp = fs::temp_directory_path() / ("case-" + name);
    fs::create_directories(tmp);
    const CaseOutcome outcome = runCase(fs::path(TRIMEO_HOSTILE_CORPUS) / name, tmp);
    std::cout << name << ": " << outcome.seconds << " s, peak " << outcome.peakKiB / 1024 << " MiB, "
              << outcome.output;

    ASSERT_TRUE(outcome.finished) << "still running after " << kTimeLimit.count() << " s";
    EXPECT_TRUE(WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0)
        << (WIFSIGNALED(outcome.status) ? std::string("killed by ") + strsignal(WTERMSIG(outcome.status))
                                        : "exit status " + std::to_string(WEXITSTATUS(outcome.status)))
        << "; output: " << outcome.output;
    EXPECT_LT(outcome.peakKiB, kPeakLimitKiB);
    if (name.rfind("valid_", 0) == 0) {
        EXPECT_EQ(outcome.output.rfind("model:", 0), 0u) << outcome.output;
    } else {
        EXPECT_TRUE(outcome.output.rfind("model:", 0) == 0 || outcome.output.rfind("error:", 0) == 0) << outcome.output;
    }

    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(tmp)) left.push_back(e.path().filename().string());
    EXPECT_TRUE(left.empty()) << "left behind: " << (left.empty() ? "" : left.front());
    fs::remove_all(tmp);
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileFile, testing::ValuesIn(corpusFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string id = info.param;
                             std::replace_if(id.begin(), id.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return id;
                         });

} // namespace
