// Caps the bytes one document may decode in total. Each primitive gets its own copy of the
// accessors it reads, and primitives may share accessors, so without a cap a small file could
// ask for any number of copies of one large accessor.
#pragma once

#include <cstddef>

namespace trimeo::gltf {

class DecodeBudget {
public:
    // Generous for real files, where a handful of primitives share one vertex accessor.
    static constexpr std::size_t baseBytes = std::size_t(64) << 20;
    static constexpr std::size_t bytesPerBufferByte = 32;

    explicit DecodeBudget(std::size_t bufferSize);

    // Takes `bytes` from the budget; false, taking nothing, when fewer remain.
    bool take(std::size_t bytes);
    std::size_t remaining() const { return remaining_; }

private:
    std::size_t remaining_;
};

} // namespace trimeo::gltf
