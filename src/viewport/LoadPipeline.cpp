#include "LoadPipeline.h"

#include "ModelPresentation.h"
#include "formats/common/FileMapping.h"
#include "loading/ModelFile.h"

#include <chrono>

namespace trimeo {

LoadOutcome loadAndPresent(std::span<const std::uint8_t> data, const std::optional<std::filesystem::path>& fileURL,
                           LoadTimings* timings) {
    using clock = std::chrono::steady_clock;
    try {
        const auto start = clock::now();
        ModelLoader::LoadResult result = ModelLoader::load(data, fileURL);
        // The scene holds all it needs: a mapped file's pages go back to the system now, not
        // when the file is closed, and fault back in should the bytes be read again.
        releaseFileBytes(data);
        if (!result.scene) throw LoaderError::noGeometry(); // a route that produced nothing
        const auto loaded = clock::now();
        const std::string extension = fileURL ? ModelLoader::fileExtension(*fileURL) : std::string();
        auto presented = presentLoadedModel(*result.scene, extension);
        PreparedMeshes meshes = prepareMeshes(*presented);
        if (timings) {
            timings->load = std::chrono::duration<double>(loaded - start).count();
            timings->present = std::chrono::duration<double>(clock::now() - loaded).count();
        }
        return PresentedModel{std::move(presented), std::move(result), std::move(meshes)};
    } catch (const std::exception& e) {
        return LoadFailure{describeError(e)};
    } catch (...) {
        // A background task that throws would take the whole application down.
        return LoadFailure{"Unknown error"};
    }
}

std::optional<LoadOutcome> loadAndPresentFile(const std::filesystem::path& path, LoadTimings* timings) {
    using clock = std::chrono::steady_clock;
    try {
        const auto start = clock::now();
        const ModelFile file = ModelFile::open(path);
        if (timings) timings->read = std::chrono::duration<double>(clock::now() - start).count();
        return loadAndPresent(file.bytes(), path, timings);
    } catch (const FileOpenError&) {
        return std::nullopt;
    } catch (const std::exception& e) {
        return LoadOutcome{LoadFailure{describeError(e)}};
    } catch (...) {
        return LoadOutcome{LoadFailure{"Unknown error"}};
    }
}

} // namespace trimeo
