// The two codings of a crate file's packed data: LZ4 blocks behind a chunk-count byte, and
// integer lists stored as deltas from their predecessor, each delta coded in two bits as
// "the most common delta" or a 1-, 2- or 4-byte value (2, 4 or 8 for 64-bit lists).
// All functions throw UsdFormatError for data that does not decode.
#pragma once

#include "ByteCursor.h"

#include <cstdint>
#include <span>
#include <vector>

namespace trimeo::usd {

// Never unpacks more than this, whatever sizes the file declares.
inline constexpr std::size_t kMaxUnpackedBytes = std::size_t(1) << 30;

// LZ4 data: one byte holding the number of chunks (0: a single block follows), then for
// each chunk its int32 size and the block. Gives at most `maxSize` bytes.
std::vector<std::uint8_t> decompressChunks(std::span<const std::uint8_t> compressed, std::size_t maxSize);

// `count` integers from the delta coding in `encoded`.
std::vector<std::uint32_t> decodeIntegers32(std::span<const std::uint8_t> encoded, std::size_t count);
std::vector<std::uint64_t> decodeIntegers64(std::span<const std::uint8_t> encoded, std::size_t count);

// At the cursor: a uint64 size, then that many bytes of LZ4 over a delta coding of `count`
// integers. Leaves the cursor after the data.
std::vector<std::uint32_t> readCompressedInts32(ByteCursor& in, std::uint64_t count);
std::vector<std::uint64_t> readCompressedInts64(ByteCursor& in, std::uint64_t count);

} // namespace trimeo::usd
