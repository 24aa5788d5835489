// Feeds hostile names to the related-file resolver over a small fixed tree:
//
//   up3/ three.bin  escape -> ../outside
//     up2/up1/ one.bin
//       model/  model.gltf a.bin big.bin "c d.bin" sub/b.bin fifo
//               link-in -> sub/b.bin   sub/up -> ..   link-out -> <top>/outside/secret.bin
//               folder-out -> <top>/outside   zero -> /dev/zero
//   outside/secret.bin
//
// Input: a mode byte (bit 0: percent-decode the names; bit 1: the model sits in model/sub;
// bits 2-3: the reach, 0 to 3 folders), then lines: the first is the referrer, each later
// one a reference. Traps when a joined path is absolute or climbs past the reach, when a
// read returns bytes from outside the widened folder, or when the bytes read go over the
// budget.
#include "formats/common/RelatedFiles.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;
using trimeo::RelatedFiles;

// Each file's text tells it apart; every one but big.bin fits the per-file cap.
const std::string fileA = "inside: a.bin .......";
const std::string fileB = "inside: sub/b.bin ...";
const std::string fileCD = "inside: c d.bin .....";
const std::string fileModel = "inside: model.gltf ..";
const std::string fileOne = "above: up1/one.bin ..";
const std::string fileThree = "above: up3/three.bin";
const std::string fileBig(64, 'B');
const std::string secret = "SECRET: outside the model's folder";
const RelatedFiles::Limits limits{.maxFileBytes = 32, .budgetBytes = 50, .maxFiles = 3};

fs::path top;

void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

void removeTree() {
    std::error_code ignored;
    fs::remove_all(top, ignored);
}

// A child that waits for this process to end, however it ends (a found crash included),
// then removes the tree.
void removeTreeAtEnd() {
    int ends[2];
    if (::pipe(ends) != 0) std::abort();
    const pid_t child = ::fork();
    if (child < 0) std::abort();
    if (child == 0) {
        ::close(ends[1]);
        char byte;
        while (::read(ends[0], &byte, 1) != 0) {
        }
        removeTree();
        ::_exit(0);
    }
    ::close(ends[0]); // the write end stays open until this process is gone
}

// Not under TMPDIR: the fuzzing scripts point it at the corpus folder, and libFuzzer reads
// that folder recursively, FIFO and /dev/zero included.
void makeTree() {
    char pattern[] = "/tmp/trimeo-related-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    top = pattern;
    removeTreeAtEnd();
    const fs::path model = top / "up3" / "up2" / "up1" / "model";
    fs::create_directories(model / "sub");
    fs::create_directories(top / "outside");
    write(top / "up3" / "three.bin", fileThree);
    write(top / "up3" / "up2" / "up1" / "one.bin", fileOne);
    fs::create_directory_symlink("../outside", top / "up3" / "escape");
    write(model / "model.gltf", fileModel);
    write(model / "a.bin", fileA);
    write(model / "big.bin", fileBig);
    write(model / "c d.bin", fileCD);
    write(model / "sub" / "b.bin", fileB);
    write(top / "outside" / "secret.bin", secret);
    if (::mkfifo((model / "fifo").c_str(), 0600) != 0) std::abort();
    fs::create_symlink("sub/b.bin", model / "link-in");
    fs::create_directory_symlink("..", model / "sub" / "up");
    fs::create_symlink(top / "outside" / "secret.bin", model / "link-out");
    fs::create_directory_symlink(top / "outside", model / "folder-out");
    fs::create_symlink("/dev/zero", model / "zero");
}

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void checkJoined(const std::string& joined, unsigned reach) {
    // ('\\' is refused only at the start of a reference; in a joined path it is a name's.)
    check(!joined.empty() && joined[0] != '/' && joined.find('\0') == std::string::npos);
    std::size_t start = 0;
    unsigned ups = 0;
    bool named = false; // ".." only leads, at most `reach` of them
    while (start <= joined.size()) {
        const auto end = std::min(joined.find('/', start), joined.size());
        const std::string_view part(joined.data() + start, end - start);
        check(!part.empty() && (part != "." || joined == "."));
        if (part == "..") {
            check(!named && ++ups <= reach);
        } else {
            named = true;
        }
        start = end + 1;
    }
    check(trimeo::joinRelative("", "./" + joined, reach) == joined); // already in its simplest form
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    makeTree();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool decode = data[0] & 1;
    const bool inSub = data[0] & 2;
    const unsigned reach = (data[0] >> 2) & 3;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    // What a read may return: the files at or below the widened folder, nothing else. Depth
    // counts folders below the top: up3 is 1, model 4, model/sub 5.
    const int bound = (inSub ? 5 : 4) - int(reach);
    std::set<std::string> allowed{fileB};
    if (bound <= 4) allowed.insert({fileA, fileCD, fileModel});
    if (bound <= 3) allowed.insert(fileOne);
    if (bound <= 1) allowed.insert(fileThree);
    RelatedFiles related(top / "up3" / "up2" / "up1" / "model" / (inSub ? "sub/model.gltf" : "model.gltf"), limits);
    std::set<const void*> distinct;
    std::uint64_t used = 0;

    auto readChecked = [&](const std::string& reference) {
        std::string why;
        const auto bytes = related.read(reference, why, reach);
        if (!bytes) {
            check(!why.empty() && related.refusals().count(reference) == 1);
            return;
        }
        check(allowed.count(std::string((*bytes)->begin(), (*bytes)->end())) == 1);
        if (distinct.insert(bytes->get()).second) used += (*bytes)->size();
        check(used <= limits.budgetBytes && distinct.size() <= limits.maxFiles);
    };

    std::string referrer;
    std::size_t start = 0;
    for (int line = 0; start <= text.size() && line < 16; ++line) {
        const auto end = std::min(text.find('\n', start), text.size());
        const std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        const std::string name = decode ? trimeo::percentDecode(raw) : std::string(raw);
        check(name.size() <= raw.size());
        if (raw.find('%') == std::string_view::npos) check(name == raw);
        if (line == 0) {
            referrer = name;
            continue;
        }
        const auto joined = trimeo::joinRelative(referrer, name, reach);
        if (joined) {
            checkJoined(*joined, reach);
            readChecked(*joined);
        }
        readChecked(name);
    }
    return 0;
}
