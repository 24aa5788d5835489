// Caps the bytes one document may decode in total. Each placed primitive gets its own copy of
// the data it reads, primitives may share accessors, and nodes may place one mesh many times,
// so without a cap a small file could ask for any number of copies of one large accessor.
// The cap grows with the buffers the document brings.
#pragma once

#include <cstddef>

namespace trimeo::gltf {

class DecodeBudget {
public:
    // Generous for real files, where a handful of primitives share one vertex accessor.
    static constexpr std::size_t baseBytes = std::size_t(64) << 20;
    static constexpr std::size_t bytesPerBufferByte = 32;

    explicit DecodeBudget(std::size_t bufferSize = 0);

    // A buffer read for the document widens the cap by bytesPerBufferByte for each of its bytes.
    void addBuffer(std::size_t bufferSize);
    // Takes `bytes` from the budget; false, taking nothing, when fewer remain. Throws
    // PlatformError when a large take does not fit the memory left to the process.
    bool take(std::size_t bytes);
    std::size_t remaining() const { return remaining_; }

private:
    std::size_t remaining_;
};

} // namespace trimeo::gltf
