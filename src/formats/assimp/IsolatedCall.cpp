#include "IsolatedCall.h"

#include "formats/common/LoaderError.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trimeo {
namespace {

bool writeAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

constexpr int kOutOfMemoryStatus = 4;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The address space mapped right now, from /proc/self/statm; 0 when unknown.
std::size_t mappedBytes() {
    int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[64] = {};
    ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    unsigned long long pages = 0;
    if (n <= 0 || std::sscanf(text, "%llu", &pages) != 1) return 0;
    return std::size_t(pages) * std::size_t(::sysconf(_SC_PAGESIZE));
}

// In the child: caps its address space at what it started with plus `limit`, and ends it with
// kOutOfMemoryStatus at the first allocation the cap refuses. Readers catch std::bad_alloc
// and report a vague failure, so the handler exits before any of them sees it.
void limitChildMemory(std::size_t limit) {
    if (kSanitized || limit == 0) return;
    const std::size_t now = mappedBytes();
    if (now == 0 || limit > std::size_t(RLIM_INFINITY) - now) return;
    rlimit cap{};
    cap.rlim_cur = cap.rlim_max = rlim_t(now + limit);
    if (::setrlimit(RLIMIT_AS, &cap) != 0) return;
    std::set_new_handler([] { ::_exit(kOutOfMemoryStatus); });
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// The child finds its task, its request and its output by this variable:
// "<task name>:<request fd>:<output fd>:<memory limit>".
constexpr const char* kTaskVariable = "TRIMEO_ISOLATED_TASK";

extern "C" const IsolatedTask* const __start_trimeo_isolated_tasks[];
extern "C" const IsolatedTask* const __stop_trimeo_isolated_tasks[];

const IsolatedTask* findTask(std::string_view name) {
    for (auto* t = __start_trimeo_isolated_tasks; t != __stop_trimeo_isolated_tasks; ++t)
        if (*t && name == (*t)->name) return *t;
    return nullptr;
}

bool readAll(int fd, std::vector<std::uint8_t>& into) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0) return false;
    into.resize(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < into.size()) {
        ssize_t r = ::pread(fd, into.data() + done, into.size() - done, off_t(done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += std::size_t(r);
    }
    return true;
}

// Runs in the fresh image before main(): when this process is an isolated child, does the
// task and ends the process; otherwise returns at once.
[[gnu::constructor]] void runTaskIfChild() {
    const char* taskSetting = std::getenv(kTaskVariable);
    if (!taskSetting) return;
    char name[128] = {};
    int requestFd = -1, outputFd = -1;
    unsigned long long limit = 0;
    const bool isChild = std::sscanf(taskSetting, "%127[^:]:%d:%d:%llu", name, &requestFd, &outputFd, &limit) == 4;
    ::unsetenv(kTaskVariable); // not for the task's own children
    if (!isChild) return;      // some stray setting: runIsolated never writes such a value
    const IsolatedTask* task = findTask(name);
    if (!task) ::_exit(2);
    limitChildMemory(std::size_t(limit));
    int status = 2;
    try {
        std::vector<std::uint8_t> request, out;
        if (!readAll(requestFd, request)) ::_exit(2);
        task->work(request, out);
        status = writeAll(outputFd, out.data(), out.size()) ? 0 : 3;
    } catch (const std::bad_alloc&) {
        status = kOutOfMemoryStatus;
    } catch (...) {
    }
    ::_exit(status); // no destructors, no atexit handlers, no leak report of a half-done read
}

// A memfd holding `bytes`, for the child to read.
int requestBuffer(std::span<const std::uint8_t> bytes) {
    int fd = ::memfd_create("trimeo-request", MFD_CLOEXEC);
    if (fd < 0) throw PlatformError(std::string("Cannot create a transfer buffer: ") + std::strerror(errno));
    if (!writeAll(fd, bytes.data(), bytes.size())) {
        int e = errno;
        ::close(fd);
        throw PlatformError(std::string("Cannot fill a transfer buffer: ") + std::strerror(e));
    }
    return fd;
}

} // namespace

IsolatedOutcome::IsolatedOutcome(IsolatedOutcome&& o) noexcept
    : completed(o.completed), outOfMemory(o.outOfMemory), failure(std::move(o.failure)), data_(o.data_),
      size_(o.size_) {
    o.data_ = nullptr;
    o.size_ = 0;
}

IsolatedOutcome::~IsolatedOutcome() {
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

bool isolatedMemoryLimitApplies() { return !kSanitized; }

IsolatedOutcome runIsolated(const IsolatedTask& task, std::span<const std::uint8_t> request, double timeoutSeconds,
                            std::size_t memoryLimitBytes) {
    Fd in{requestBuffer(request)};
    Fd out{::memfd_create("trimeo-read", MFD_CLOEXEC)};
    if (out.fd < 0) throw PlatformError(std::string("Cannot create a transfer buffer: ") + std::strerror(errno));

    // Everything the child needs is built here: after the fork it may not allocate.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind(kTaskVariable + std::string("="), 0) != 0) environment.emplace_back(*e);
    environment.push_back(std::string(kTaskVariable) + "=" + task.name + ":" + std::to_string(in.fd) + ":" +
                          std::to_string(out.fd) + ":" + std::to_string(memoryLimitBytes));
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char* argv[] = {self, nullptr};

    pid_t pid = ::fork();
    if (pid < 0) throw PlatformError(std::string("Cannot start the model reader: ") + std::strerror(errno));
    if (pid == 0) {
        // Only async-signal-safe calls until the exec.
        ::fcntl(in.fd, F_SETFD, 0);
        ::fcntl(out.fd, F_SETFD, 0);
        ::execve(self, argv, envp.data());
        ::_exit(127);
    }

    IsolatedOutcome outcome;
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) {
            outcome.failure = std::string("lost the model reader: ") + std::strerror(errno);
            return outcome;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            outcome.failure = "the model reader did not finish in time";
            return outcome;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
    if (WIFSIGNALED(status)) {
        outcome.failure = std::string("the model reader failed on this file (") + strsignal(WTERMSIG(status)) + ")";
        return outcome;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryStatus) {
        outcome.outOfMemory = true;
        outcome.failure = "the model reader ran out of memory";
        return outcome;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        outcome.failure = "the model reader could not be started";
        return outcome;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        outcome.failure = "the model reader failed on this file";
        return outcome;
    }
    struct stat st {};
    if (::fstat(out.fd, &st) != 0) throw PlatformError(std::string("Cannot read the transfer buffer: ") + std::strerror(errno));
    outcome.completed = true;
    if (st.st_size > 0) {
        void* p = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE, out.fd, 0);
        if (p == MAP_FAILED) throw PlatformError(std::string("Cannot map the transfer buffer: ") + std::strerror(errno));
        outcome.data_ = static_cast<const std::uint8_t*>(p);
        outcome.size_ = std::size_t(st.st_size);
    }
    return outcome;
}

} // namespace trimeo
