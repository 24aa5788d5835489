// Runs a piece of work in a child process so that a crash or a hang inside a third-party
// reader costs only that read, never the viewer. The child hands its result back as bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace trimeo {

class IsolatedOutcome {
public:
    bool completed = false; // the work ran to its end and produced `output()`
    bool outOfMemory = false; // the work was stopped for asking more than its memory limit
    std::string failure;    // why not, in plain words
    std::span<const std::uint8_t> output() const { return {data_, size_}; }

    IsolatedOutcome() = default;
    IsolatedOutcome(IsolatedOutcome&&) noexcept;
    IsolatedOutcome& operator=(IsolatedOutcome&&) = delete;
    ~IsolatedOutcome();

private:
    friend IsolatedOutcome runIsolated(const std::function<void(std::vector<std::uint8_t>&)>&, double, std::size_t);
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// `work` fills the buffer in the child. The child is killed after `timeoutSeconds`, and
// stopped (`outOfMemory`) when it maps more than `memoryLimitBytes` of address space beyond
// what the parent had mapped when it forked. Sanitizer builds reserve terabytes of shadow
// address space, so there the memory limit is not applied.
// Throws PlatformError only when no child process can be made at all.
IsolatedOutcome runIsolated(const std::function<void(std::vector<std::uint8_t>&)>& work, double timeoutSeconds,
                            std::size_t memoryLimitBytes);

// False in builds whose sanitizers make address-space limits meaningless.
bool isolatedMemoryLimitApplies();

} // namespace trimeo
