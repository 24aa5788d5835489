// How much memory a load may still take, and the one check readers make before an
// allocation whose size comes from a file.
#pragma once

#include <cstdint>

namespace trimeo {

struct MemoryRoom {
    std::uint64_t memory;       // RAM the process may still fill: MemAvailable, the cgroup's limit
    std::uint64_t addressSpace; // what RLIMIT_AS leaves beside what is mapped now
};

// Read afresh on every call; a source the system does not report counts as unlimited.
MemoryRoom memoryRoom();

// Throws PlatformError ("Not enough memory to load this model ...") when `bytes` more do not
// fit in the memory or the address space left to the process.
void requireMemory(std::uint64_t bytes);

} // namespace trimeo
