#include "MemoryBudget.h"

#include "LoaderError.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace trimeo {
namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

// "MemAvailable:   123456 kB" from /proc/meminfo.
std::uint64_t availableRAM() {
    std::ifstream in("/proc/meminfo");
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    while (in >> key >> kib) {
        std::getline(in, unit);
        if (key == "MemAvailable:") return kib * 1024;
    }
    return kUnlimited;
}

std::uint64_t readNumber(const char* path) {
    std::ifstream in(path);
    std::string text;
    if (!(in >> text) || text == "max") return kUnlimited;
    try {
        return std::stoull(text);
    } catch (const std::exception&) {
        return kUnlimited;
    }
}

// The cgroup v2 limit of this process's group less what it already uses.
std::uint64_t cgroupRoom() {
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    std::string group;
    while (std::getline(in, line))
        if (line.rfind("0::", 0) == 0) group = line.substr(3);
    if (group.empty()) return kUnlimited;
    const std::string dir = "/sys/fs/cgroup" + (group == "/" ? std::string() : group);
    const std::uint64_t limit = readNumber((dir + "/memory.max").c_str());
    if (limit == kUnlimited) return kUnlimited;
    const std::uint64_t used = readNumber((dir + "/memory.current").c_str());
    return used == kUnlimited || used >= limit ? 0 : limit - used;
}

std::uint64_t addressSpaceRoom() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
    std::ifstream in("/proc/self/statm");
    std::uint64_t pages = 0;
    if (!(in >> pages)) return kUnlimited;
    const std::uint64_t mapped = pages * std::uint64_t(::sysconf(_SC_PAGESIZE));
    return mapped >= limit.rlim_cur ? 0 : limit.rlim_cur - mapped;
}

std::string mebibytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

} // namespace

MemoryRoom memoryRoom() { return {std::min(availableRAM(), cgroupRoom()), addressSpaceRoom()}; }

void requireMemory(std::uint64_t bytes) {
    const MemoryRoom room = memoryRoom();
    const std::uint64_t left = std::min(room.memory, room.addressSpace);
    if (bytes <= left) return;
    throw PlatformError("Not enough memory to load this model (it needs at least " + mebibytes(bytes) + ", " +
                        mebibytes(left) + " are available)");
}

} // namespace trimeo
