#include "CrateCompression.h"

#include "formats/common/MemoryBudget.h"

#include <lz4.h>

#include <algorithm>

namespace trimeo::usd {
namespace {

// LZ4 cannot expand a block by more than about 255 times.
constexpr std::uint64_t kMaxExpansion = 255;

template <class Int, class Small, class Medium>
std::vector<Int> decode(std::span<const std::uint8_t> encoded, std::size_t count) {
    ByteCursor in(encoded);
    const Int common = in.read<Int>();
    const std::uint64_t codeBytes = (std::uint64_t(count) * 2 + 7) / 8;
    if (codeBytes > in.remaining()) throw UsdFormatError("integer codes run past the end");
    // Each value needs at least two bits, so `count` is bounded by the data before allocating.
    ByteCursor codes(encoded, in.tell());
    ByteCursor deltas(encoded, in.tell() + codeBytes);
    std::vector<Int> out;
    out.reserve(count);
    Int previous = 0; // unsigned: wrapping sums match the writer's two's-complement deltas
    std::uint8_t codeByte = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 4 == 0) codeByte = codes.read<std::uint8_t>();
        switch ((codeByte >> (2 * (i % 4))) & 3) {
        case 0: previous += common; break;
        case 1: previous += Int(std::make_signed_t<Int>(deltas.read<Small>())); break;
        case 2: previous += Int(std::make_signed_t<Int>(deltas.read<Medium>())); break;
        default: previous += deltas.read<Int>(); break;
        }
        out.push_back(previous);
    }
    return out;
}

template <class Int> std::vector<Int> readCompressed(ByteCursor& in, std::uint64_t count) {
    const auto size = in.read<std::uint64_t>();
    const auto compressed = in.take(size);
    if (count == 0) return {};
    const std::uint64_t working = sizeof(Int) + (count * 2 + 7) / 8 + count * sizeof(Int);
    if (count > kMaxUnpackedBytes || working > kMaxUnpackedBytes) throw UsdFormatError("integer list too long");
    const auto decoded = decompressChunks(compressed, std::size_t(working));
    if constexpr (sizeof(Int) == 4) return decodeIntegers32(decoded, std::size_t(count));
    else return decodeIntegers64(decoded, std::size_t(count));
}

} // namespace

std::vector<std::uint8_t> decompressChunks(std::span<const std::uint8_t> compressed, std::size_t maxSize) {
    ByteCursor in(compressed);
    const auto chunks = in.read<std::uint8_t>();
    const std::uint64_t bound = std::min<std::uint64_t>({maxSize, kMaxUnpackedBytes, compressed.size() * kMaxExpansion + 16});
    requireMemory(bound);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(bound));
    std::size_t filled = 0;
    auto block = [&](std::span<const std::uint8_t> src) {
        if (src.size() > std::size_t(LZ4_MAX_INPUT_SIZE)) throw UsdFormatError("LZ4 block too large");
        const std::size_t room = std::min<std::size_t>(out.size() - filled, std::size_t(LZ4_MAX_INPUT_SIZE));
        const int n = LZ4_decompress_safe(reinterpret_cast<const char*>(src.data()),
                                          reinterpret_cast<char*>(out.data() + filled), int(src.size()), int(room));
        if (n < 0) throw UsdFormatError("damaged LZ4 data");
        filled += std::size_t(n);
    };
    if (chunks == 0) {
        block(in.take(in.remaining()));
    } else {
        for (int i = 0; i < chunks; ++i) {
            const auto size = in.read<std::int32_t>();
            if (size < 0) throw UsdFormatError("negative LZ4 chunk size");
            block(in.take(std::uint64_t(size)));
        }
    }
    out.resize(filled);
    return out;
}

std::vector<std::uint32_t> decodeIntegers32(std::span<const std::uint8_t> encoded, std::size_t count) {
    return decode<std::uint32_t, std::int8_t, std::int16_t>(encoded, count);
}

std::vector<std::uint64_t> decodeIntegers64(std::span<const std::uint8_t> encoded, std::size_t count) {
    return decode<std::uint64_t, std::int16_t, std::int32_t>(encoded, count);
}

std::vector<std::uint32_t> readCompressedInts32(ByteCursor& in, std::uint64_t count) {
    return readCompressed<std::uint32_t>(in, count);
}

std::vector<std::uint64_t> readCompressedInts64(ByteCursor& in, std::uint64_t count) {
    return readCompressed<std::uint64_t>(in, count);
}

} // namespace trimeo::usd
