// Pages of a read-only file mapping can be dropped from memory at any time: the next read of
// them faults them back in from the file. This lets a load give back the file's bytes as
// soon as it has read them, while the span over them stays valid for whoever keeps it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace trimeo {

// Called by the owner of a private, read-only file mapping when it is made and before it
// is unmapped.
void registerFileMapping(std::span<const std::uint8_t> mapping);
void unregisterFileMapping(std::span<const std::uint8_t> mapping);

// Drops from memory the whole pages of `bytes` that lie in a registered mapping. Bytes
// anywhere else (a buffer that was read into, a string) are left as they are: for those
// there is no file to fault them back from.
void releaseFileBytes(std::span<const std::uint8_t> bytes);

// How many bytes a reader that walks through a file reads between two releases of what it
// has passed: large enough for the calls to cost nothing, small beside any model worth it.
inline constexpr std::size_t kReleaseStep = std::size_t(16) << 20;

// For a reader that walks through `bytes` front to back: gives back what it has passed,
// a step at a time.
class ReleaseBehind {
public:
    explicit ReleaseBehind(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    // The reader is done with every byte before `offset`.
    void passed(std::size_t offset) {
        if (offset - released_ < kReleaseStep) return;
        released_ = offset < bytes_.size() ? offset : bytes_.size();
        releaseFileBytes(bytes_.first(released_));
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t released_ = 0;
};

} // namespace trimeo
