// Any bytes through the Alembic reader: it may refuse them, never fault.
#include "formats/common/LoaderError.h"
#include "formats/alembic/AlembicReader.h"
#include "formats/common/RelatedFiles.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        trimeo::RelatedFiles none;
        std::optional<trimeo::ReaderResult> read = trimeo::readAlembic({{data, size}, "abc", none});
        if (read && read->scene) (void)read->scene->rootNode->boundingBox();
    } catch (const trimeo::LoaderError&) {
    }
    return 0;
}
