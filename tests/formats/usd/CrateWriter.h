// Writes a Stage as a usdc (crate) file, the tests' own producer of binary fixtures. It
// encodes independently of the reader: LZ4 chunks, delta-coded integer lists, the path
// walk with jumps, inline and out-of-line values, compressed int and float arrays, and
// time samples. Path indices are stored in reverse walk order so that readers cannot
// mistake walk order for index order.
#pragma once

#include "formats/usd/UsdStage.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace trimeo::test {

struct CrateWriteOptions {
    std::set<std::string> sampled; // attributes written as two time samples: the value, then zeros
    std::uint8_t minor = 8;        // version 0.<minor>.0; below 7 array counts are 32 bits
};

std::vector<std::uint8_t> writeCrate(const usd::Stage& stage, const CrateWriteOptions& options = {});

// The crate's delta coding of 32-bit integers, without the LZ4 step.
std::vector<std::uint8_t> encodeIntegers32(const std::vector<std::uint32_t>& values);

} // namespace trimeo::test
