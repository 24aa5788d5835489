// Runs a piece of work in a child process so that a crash, a hang or a runaway allocation
// inside a third-party reader costs only that read, never the viewer. The child hands its
// result back as bytes.
//
// The child is a fresh image of the running executable (fork, then at once execve of
// /proc/self/exe), never a bare fork: a fork copies every lock the other threads held at
// that moment (the allocator's among them), and a child that needs one of them hangs.
// Between fork and exec the child makes only async-signal-safe calls.
//
// The work is an IsolatedTask: a named function placed with TRIMEO_ISOLATED_TASK in a
// section of the binary, so the fresh image finds it before main() runs and before any
// of the program's own globals are constructed. A task must not rely on those globals.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace trimeo {

// Reads `request`, fills `out`. May throw; the child then fails.
using IsolatedWork = void (*)(std::span<const std::uint8_t> request, std::vector<std::uint8_t>& out);

struct IsolatedTask {
    const char* name; // unique in the program
    IsolatedWork work;
};

// Registers `task` (a constant IsolatedTask) with the program.
#define TRIMEO_ISOLATED_TASK(variable)                                                                  \
    [[gnu::used, gnu::section("trimeo_isolated_tasks")]] constinit const ::trimeo::IsolatedTask* const \
        variable##_entry = &variable

class IsolatedOutcome {
public:
    bool completed = false;   // the work ran to its end and produced `output()`
    bool outOfMemory = false; // the work was stopped for asking more than its memory limit
    std::string failure;      // why not, in plain words
    std::span<const std::uint8_t> output() const { return {data_, size_}; }

    IsolatedOutcome() = default;
    IsolatedOutcome(IsolatedOutcome&&) noexcept;
    IsolatedOutcome& operator=(IsolatedOutcome&&) = delete;
    ~IsolatedOutcome();

private:
    friend IsolatedOutcome runIsolated(const IsolatedTask&, std::span<const std::uint8_t>, double, std::size_t);
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// Runs `task` on `request` in a child process. The child is killed after `timeoutSeconds`,
// and stopped (`outOfMemory`) when it maps more than `memoryLimitBytes` (0: no limit) of
// address space beyond what it started with. Sanitizer builds reserve terabytes of shadow
// address space, so there the memory limit is not applied.
// Throws PlatformError only when no child process can be made at all.
IsolatedOutcome runIsolated(const IsolatedTask& task, std::span<const std::uint8_t> request, double timeoutSeconds,
                            std::size_t memoryLimitBytes);

// False in builds whose sanitizers make address-space limits meaningless.
bool isolatedMemoryLimitApplies();

} // namespace trimeo
