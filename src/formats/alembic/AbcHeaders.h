// Alembic's records inside the Ogawa container: metadata ("key=value;..." text, given
// inline or as an index into the archive's shared table), object headers, property
// headers and time samplings. Parsers return what they could read and stop at the first
// record that does not fit its block; nothing they allocate exceeds the block's size.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trimeo::alembic {

// Plain-old-data element types, numbered as Alembic stores them.
enum class Pod : std::uint8_t {
    boolean, uint8, int8, uint16, int16, uint32, int32, uint64, int64, float16, float32, float64, string, wstring
};
// Bytes per element; 0 for the text types and unknown numbers.
std::size_t podSize(std::uint8_t pod);

// The value of `key` in "key=value;key=value", or empty.
std::string metadataValue(std::string_view metadata, std::string_view key);

// The archive's shared metadata table: entry 0 is the empty text, then one entry per
// length-prefixed (uint8) text in the block.
std::vector<std::string> parseIndexedMetadata(std::span<const std::uint8_t> block);

struct ObjectHeader {
    std::string name;
    std::string metadata;
};
// An object's child headers; the block ends with 32 bytes of hashes that are not headers.
std::vector<ObjectHeader> parseObjectHeaders(std::span<const std::uint8_t> block,
                                             const std::vector<std::string>& indexedMetadata);

enum class PropertyKind { compound, scalar, array };
struct PropertyHeader {
    std::string name;
    PropertyKind kind = PropertyKind::compound;
    std::uint8_t pod = 0;
    std::uint8_t extent = 0; // components per element, e.g. 3 for a point
    std::uint32_t sampleCount = 0;
    std::uint32_t timeSampling = 0;
    std::string metadata;
};
std::vector<PropertyHeader> parsePropertyHeaders(std::span<const std::uint8_t> block,
                                                 const std::vector<std::string>& indexedMetadata);

struct TimeSampling {
    std::uint32_t maxSample = 0;
    double timePerCycle = 0;
    std::vector<double> times;
};
std::vector<TimeSampling> parseTimeSamplings(std::span<const std::uint8_t> block);

} // namespace trimeo::alembic
