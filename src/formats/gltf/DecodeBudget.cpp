#include "DecodeBudget.h"

#include <limits>

namespace trimeo::gltf {

DecodeBudget::DecodeBudget(std::size_t bufferSize) : remaining_(baseBytes) { addBuffer(bufferSize); }

void DecodeBudget::addBuffer(std::size_t bufferSize) {
    constexpr std::size_t maxSize = std::numeric_limits<std::size_t>::max();
    const std::size_t room = maxSize - remaining_;
    remaining_ += bufferSize > room / bytesPerBufferByte ? room : bufferSize * bytesPerBufferByte;
}

bool DecodeBudget::take(std::size_t bytes) {
    if (bytes > remaining_) return false;
    remaining_ -= bytes;
    return true;
}

} // namespace trimeo::gltf
