#include "ThreeMFParser.h"

#include "ModelUnit.h"
#include "PackagePaths.h"
#include "ModelAssembly.h"
#include "formats/common/TemporaryFiles.h"

#include <algorithm>
#include <exception>
#include <string>
#include <system_error>
#include <thread>

namespace trimeo {
namespace fs = std::filesystem;
namespace {

bool pathExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// 0 when unknown: readWholeFile then finds out what is there.
std::uint64_t fileSize(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

// Unpacks the package, the main part into `main`, and reads the main part on this thread
// while another unpacks it. Gives that reading when it is of the part as finally unpacked;
// none when it is not, or when no thread could be started (the part is then read after).
std::optional<ThreeMFXMLParser::ParseResult> unpackReadingMainPart(const fs::path& archive, const fs::path& into,
                                                                   const threemf::ExtractionLimits& limits,
                                                                   threemf::HeldEntry& main) {
    threemf::ArrivingDocument arriving;
    main.arriving = &arriving;
    std::exception_ptr failure;
    auto unpack = [&] {
        try {
            threemf::extractPackage(archive, into, limits, &main);
        } catch (...) {
            failure = std::current_exception();
        }
        arriving.close();
    };
    std::optional<ThreeMFXMLParser::ParseResult> read;
    {
        std::optional<std::jthread> unpacking;
        try {
            unpacking.emplace(unpack);
        } catch (const std::system_error&) {
        }
        if (unpacking) read = ThreeMFXMLParser::parseArriving(arriving);
        else unpack();
    } // joined
    main.arriving = nullptr;
    if (failure) std::rethrow_exception(failure);
    if (!arriving.finishedWhole()) read.reset();
    return read;
}

} // namespace

ReaderResult ThreeMFParser::parse(std::span<const std::uint8_t> data) {
    TemporaryDirectory workingDirectory; // removed with everything in it however parse ends
    const fs::path archive = workingDirectory.path() / "model.3mf";
    writeWholeFile(archive, data);

    const fs::path extracted = workingDirectory.path() / "extracted";
    std::error_code ec;
    if (!fs::create_directory(extracted, ec))
        throw PlatformError("Cannot create directory " + extracted.string() + ": " +
                            (ec ? ec.message() : std::string("it already exists")));
    extractedDir = extracted;

    // A failed or partial unpacking shows only as a missing main part. The main part is
    // unpacked straight into memory (an empty file stands at its path).
    threemf::HeldEntry main;
    main.path = threemf::kMainModelPath;
    main.maxBytes = limits_.maxModelBytes;
    std::optional<ThreeMFXMLParser::ParseResult> early = unpackReadingMainPart(archive, extracted, limits_, main);

    const fs::path mainPart = extracted / threemf::kMainModelPath;
    if (!pathExists(mainPart)) throw LoaderError::parseError("3MF model file not found");
    if (main.unpacked ? main.tooLarge : fileSize(mainPart) > limits_.maxModelBytes)
        throw LoaderError::parseError("3MF model file is larger than " + std::to_string(limits_.maxModelBytes >> 20) +
                                      " MiB");
    const std::vector<std::uint8_t> bytes = main.unpacked ? std::move(main.bytes) : threemf::readWholeFile(mainPart);
    ReaderResult result = parseModelXML(bytes, extracted, std::move(early));
    result.scene->metersPerUnit = threemf::modelMetersPerUnit(bytes);
    return result;
}

ReaderResult ThreeMFParser::parseModelXML(std::span<const std::uint8_t> mainPart, const fs::path& baseDir,
                                          std::optional<ThreeMFXMLParser::ParseResult> parsed) const {
    // A part named many times is read as many times; all model bytes read are bounded by
    // the model limit (and the unpacking's), so a short main part naming one part over and
    // over cannot make the import run out of memory. Once the limit is reached no further
    // part is read.
    const std::uint64_t modelBudget = std::min(limits_.maxTotalBytes, limits_.maxModelBytes);
    std::uint64_t bytesLeft = modelBudget > mainPart.size() ? modelBudget - mainPart.size() : 0;
    bool exhausted = false;
    const fs::path mainPath = baseDir / threemf::kMainModelPath;
    const threemf::PartReader read = [&](const std::string& path) -> std::optional<std::vector<std::uint8_t>> {
        // Paths with ".." could name files outside the package: refused like missing files.
        std::optional<fs::path> file = threemf::resolveInside(baseDir, path);
        if (exhausted || !file || !pathExists(*file)) return std::nullopt;
        // The main part's file stands empty: its bytes are in memory.
        const bool isMain = *file == mainPath;
        if ((isMain ? mainPart.size() : fileSize(*file)) > bytesLeft) { // measured before it is read in
            exhausted = true;
            return std::nullopt;
        }
        std::vector<std::uint8_t> bytes;
        try {
            bytes = isMain ? std::vector<std::uint8_t>(mainPart.begin(), mainPart.end())
                           : threemf::readWholeFile(*file);
        } catch (const PlatformError&) {
            return std::nullopt;
        }
        if (bytes.size() > bytesLeft) {
            exhausted = true;
            return std::nullopt;
        }
        bytesLeft -= bytes.size();
        return bytes;
    };
    if (parsed) return threemf::assembleModel(std::move(*parsed), read, placementLimits_);
    return threemf::assembleModel(mainPart, read, placementLimits_);
}

std::optional<ReaderResult> readThreeMF(const ReaderInput& input) { return ThreeMFParser().parse(input.bytes); }

} // namespace trimeo
