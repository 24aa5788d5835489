// The glTF importer with files beside the model: separate buffers (several per document),
// Draco and meshopt payloads, all read through the related-file resolver from a small
// private folder. A LoaderError is a proper refusal; anything else is a bug.
//
// Input: one byte choosing the form (odd: GLB), then up to five records of
// [name length: 1 byte][name][data length: 4 bytes, little-endian][data]. The first record is
// the model (its name is not used); each further one is written as a file of that name
// beside it. Names other than plain file names are passed over.
#include "formats/common/RelatedFiles.h"
#include "formats/gltf/GLTFParser.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

fs::path folder;

bool plainName(const std::string& name) {
    if (name.empty() || name.front() == '.') return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-' && c != ' ') return false;
    return true;
}

struct Record {
    std::string name;
    std::span<const std::uint8_t> data;
};

std::vector<Record> records(std::span<const std::uint8_t> in) {
    std::vector<Record> out;
    std::size_t at = 0;
    while (out.size() < 5 && at < in.size()) {
        const std::size_t nameLength = in[at++];
        if (in.size() - at < nameLength + 4) break;
        Record r;
        r.name.assign(reinterpret_cast<const char*>(in.data() + at), nameLength);
        at += nameLength;
        std::uint32_t length = 0;
        for (int b = 0; b < 4; ++b) length |= std::uint32_t(in[at + b]) << (8 * b);
        at += 4;
        const std::size_t n = std::min<std::size_t>(length, in.size() - at);
        r.data = in.subspan(at, n);
        at += n;
        out.push_back(r);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "trimeo-gltf-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(folder, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool isBinary = data[0] & 1;
    const auto parts = records({data + 1, size - 1});
    if (parts.empty()) return 0;

    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) fs::remove_all(entry.path(), ec);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (!plainName(parts[i].name)) continue;
        std::ofstream(folder / parts[i].name, std::ios::binary)
            .write(reinterpret_cast<const char*>(parts[i].data.data()), std::streamsize(parts[i].data.size()));
    }
    try {
        trimeo::RelatedFiles related(folder / (isBinary ? "model.glb" : "model.gltf"));
        trimeo::GLTFParser().parse(parts[0].data, isBinary, related);
    } catch (const trimeo::LoaderError&) {
    }
    return 0;
}
