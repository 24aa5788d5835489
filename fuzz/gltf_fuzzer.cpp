// Feeds every input to both forms of the glTF importer, with no model location (buffers in
// files stay absent). A LoaderError is a proper refusal; anything else escaping, a crash or a
// sanitizer report is a bug.
#include "formats/common/RelatedFiles.h"
#include "formats/gltf/GLTFParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    for (bool isBinary : {true, false}) {
        try {
            trimeo::RelatedFiles nowhere;
            trimeo::GLTFParser().parse(bytes, isBinary, nowhere);
        } catch (const trimeo::LoaderError&) {
        }
    }
    return 0;
}
