// Any bytes through the Alembic reader: it may refuse them, never fault.
#include "loading/LoaderError.h"
#include "loading/alembic/AlembicReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        trimeo::AssetRead read = trimeo::readAlembic({data, size});
        if (read.scene) (void)read.scene->rootNode->boundingBox();
    } catch (const trimeo::LoaderError&) {
    }
    return 0;
}
