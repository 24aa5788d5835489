#include "DecodeBudget.h"

#include <limits>

namespace trimeo::gltf {

DecodeBudget::DecodeBudget(std::size_t bufferSize) {
    constexpr std::size_t maxSize = std::numeric_limits<std::size_t>::max();
    const std::size_t scaled = bufferSize > (maxSize - baseBytes) / bytesPerBufferByte
                                   ? maxSize - baseBytes
                                   : bufferSize * bytesPerBufferByte;
    remaining_ = baseBytes + scaled;
}

bool DecodeBudget::take(std::size_t bytes) {
    if (bytes > remaining_) return false;
    remaining_ -= bytes;
    return true;
}

} // namespace trimeo::gltf
