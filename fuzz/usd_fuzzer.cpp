// Feeds every input to the USD reader as each member of the family: text, crate, package
// and the sniffed "usd". A read that fails is a proper refusal; anything escaping, a crash
// or a sanitizer report is a bug.
#include "formats/common/RelatedFiles.h"
#include "formats/usd/UsdReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    trimeo::RelatedFiles none;
    for (const char* extension : {"usda", "usdc", "usdz", "usd"}) {
        try {
            trimeo::usd::readUsd({bytes, extension, none});
        } catch (const trimeo::LoaderError&) {
        }
    }
    return 0;
}
