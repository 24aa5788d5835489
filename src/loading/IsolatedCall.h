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
    std::string failure;    // why not, in plain words
    std::span<const std::uint8_t> output() const { return {data_, size_}; }

    IsolatedOutcome() = default;
    IsolatedOutcome(IsolatedOutcome&&) noexcept;
    IsolatedOutcome& operator=(IsolatedOutcome&&) = delete;
    ~IsolatedOutcome();

private:
    friend IsolatedOutcome runIsolated(const std::function<void(std::vector<std::uint8_t>&)>&, double);
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// `work` fills the buffer in the child. The child is killed after `timeoutSeconds`.
// Throws PlatformError only when no child process can be made at all.
IsolatedOutcome runIsolated(const std::function<void(std::vector<std::uint8_t>&)>& work, double timeoutSeconds);

} // namespace trimeo
