#include "FileMapping.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>

namespace trimeo {
namespace {

struct Registry {
    std::mutex lock;
    std::map<std::uintptr_t, std::uintptr_t> ends; // start -> end of each mapping
};

Registry& registry() {
    static Registry r;
    return r;
}

std::uintptr_t address(const std::uint8_t* p) { return reinterpret_cast<std::uintptr_t>(p); }

} // namespace

void registerFileMapping(std::span<const std::uint8_t> mapping) {
    if (mapping.empty()) return;
    Registry& r = registry();
    const std::lock_guard guard(r.lock);
    r.ends[address(mapping.data())] = address(mapping.data()) + mapping.size();
}

void unregisterFileMapping(std::span<const std::uint8_t> mapping) {
    if (mapping.empty()) return;
    Registry& r = registry();
    const std::lock_guard guard(r.lock);
    r.ends.erase(address(mapping.data()));
}

void releaseFileBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    static const std::uintptr_t page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    std::uintptr_t begin = address(bytes.data()), end = begin + bytes.size();
    Registry& r = registry();
    // Held across the call: a mapping cannot be unmapped (and its range reused) meanwhile.
    const std::lock_guard guard(r.lock);
    auto it = r.ends.upper_bound(begin);
    if (it == r.ends.begin()) return;
    --it;
    if (begin < it->first || begin >= it->second) return;
    end = std::min(end, it->second);
    // Whole pages only: the partial ones at the edges may hold bytes still to be read.
    begin = (begin + page - 1) / page * page;
    if (end != it->second) end = end / page * page;
    if (end <= begin) return;
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

} // namespace trimeo
