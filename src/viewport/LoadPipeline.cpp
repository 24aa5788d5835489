#include "LoadPipeline.h"

#include "ModelPresentation.h"

namespace trimeo {

LoadOutcome loadAndPresent(std::span<const std::uint8_t> data, const std::optional<std::filesystem::path>& fileURL) {
    try {
        ModelLoader::LoadResult result = ModelLoader::load(data, fileURL);
        if (!result.scene) throw LoaderError::noGeometry(); // a route that produced nothing
        const std::string extension = fileURL ? ModelLoader::fileExtension(*fileURL) : std::string();
        auto presented = presentLoadedModel(*result.scene, extension);
        return PresentedModel{std::move(presented), std::move(result)};
    } catch (const std::exception& e) {
        return LoadFailure{describeError(e)};
    } catch (...) {
        // A background task that throws would take the whole application down.
        return LoadFailure{"Unknown error"};
    }
}

} // namespace trimeo
