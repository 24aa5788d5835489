// 3MF importer. Unpacks the package into a fresh working directory under the temporary
// directory ("<UUID>/model.3mf" holds the bytes, "<UUID>/extracted" the unpacked entries;
// see PackageExtractor.h for the hardening), reads the main model part "3D/3dmodel.model"
// (held in memory with its file left empty, and read on this thread while another unpacks
// it) and the other model parts it leads to, and makes one grey node "mesh_<i>" per placed
// mesh (ModelAssembly.h says which and in what order). The working directory is removed
// on every path.
// Throws LoaderError::parseError("3MF model file not found") when the package yields no
// main model part (not a ZIP archive, damaged, or missing the part), LoaderError::noGeometry
// when no mesh was read, LoaderError::parseError("3MF model file is larger than <N> MiB")
// when the main part passes ExtractionLimits::maxModelBytes (component parts past what is
// left of it are skipped), what placing the build throws (BuildPlacement.h), and
// PlatformError for a failure of the file system.
#pragma once

#include "BuildPlacement.h"
#include "PackageExtractor.h"
#include "formats/common/ReaderResult.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace trimeo {

class ThreeMFParser {
public:
    ThreeMFParser() = default;
    explicit ThreeMFParser(threemf::ExtractionLimits limits, threemf::PlacementLimits placementLimits = {})
        : limits_(limits), placementLimits_(placementLimits) {}

    ReaderResult parse(std::span<const std::uint8_t> data);

    // Set once the extraction directory exists; keeps naming it after it has been removed.
    std::optional<std::filesystem::path> extractedDir;

private:
    // `parsed`: the main part's parse, when it was read while it was unpacked.
    ReaderResult parseModelXML(std::span<const std::uint8_t> mainPart, const std::filesystem::path& baseDir,
                               std::optional<ThreeMFXMLParser::ParseResult> parsed) const;

    threemf::ExtractionLimits limits_;
    threemf::PlacementLimits placementLimits_;
};

// The reader for the format table.
std::optional<ReaderResult> readThreeMF(const ReaderInput& input);

} // namespace trimeo
