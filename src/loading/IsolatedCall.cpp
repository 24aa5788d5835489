#include "IsolatedCall.h"

#include "LoaderError.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
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

// In the child: caps its address space at what it inherited plus `limit`, and ends it with
// kOutOfMemoryStatus at the first allocation the cap refuses. Readers catch std::bad_alloc
// and report a vague failure, so the handler exits before any of them sees it.
void limitChildMemory(std::size_t limit) {
    if (kSanitized || limit == 0) return;
    const std::size_t now = mappedBytes();
    if (now == 0) return;
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

IsolatedOutcome runIsolated(const std::function<void(std::vector<std::uint8_t>&)>& work, double timeoutSeconds,
                            std::size_t memoryLimitBytes) {
    Fd out{::memfd_create("trimeo-read", MFD_CLOEXEC)};
    if (out.fd < 0) throw PlatformError(std::string("Cannot create a transfer buffer: ") + std::strerror(errno));

    pid_t pid = ::fork();
    if (pid < 0) throw PlatformError(std::string("Cannot start the model reader: ") + std::strerror(errno));
    if (pid == 0) {
        int status = 2;
        limitChildMemory(memoryLimitBytes);
        try {
            std::vector<std::uint8_t> buffer;
            work(buffer);
            status = writeAll(out.fd, buffer.data(), buffer.size()) ? 0 : 3;
        } catch (const std::bad_alloc&) {
            status = kOutOfMemoryStatus;
        } catch (...) {
        }
        ::_exit(status); // no destructors, no atexit handlers of the parent's state
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
