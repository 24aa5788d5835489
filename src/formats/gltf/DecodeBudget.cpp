#include "DecodeBudget.h"

#include "formats/common/MemoryBudget.h"

#include <limits>

namespace trimeo::gltf {

constexpr std::size_t kCheckedTake = std::size_t(16) << 20;

DecodeBudget::DecodeBudget(std::size_t bufferSize) : remaining_(baseBytes) { addBuffer(bufferSize); }

void DecodeBudget::addBuffer(std::size_t bufferSize) {
    constexpr std::size_t maxSize = std::numeric_limits<std::size_t>::max();
    const std::size_t room = maxSize - remaining_;
    remaining_ += bufferSize > room / bytesPerBufferByte ? room : bufferSize * bytesPerBufferByte;
}

bool DecodeBudget::take(std::size_t bytes) {
    if (bytes > remaining_) return false;
    // Within the document's cap but beyond the process's memory: refused as such. Small
    // takes skip the look at the system, which costs a few file reads.
    if (bytes >= kCheckedTake) requireMemory(bytes);
    remaining_ -= bytes;
    return true;
}

} // namespace trimeo::gltf
