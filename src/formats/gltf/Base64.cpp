#include "Base64.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define TRIMEO_BASE64_SSSE3 1
#endif

namespace trimeo::gltf {
namespace {

// One table per position in a quad, each holding its sextet already shifted to where its bits
// land in the three output bytes: one lookup and OR per character. "=" and every other
// non-alphabet byte map to 0, which only matters for padding (validity is checked beforehand).
struct Tables {
    std::array<std::uint32_t, 256> at[4];
};

constexpr Tables makeTables() {
    Tables t{};
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::uint32_t s = 0; s < 64; ++s) {
        const auto c = static_cast<unsigned char>(alphabet[s]);
        t.at[0][c] = s << 18;
        t.at[1][c] = s << 12;
        t.at[2][c] = s << 6;
        t.at[3][c] = s;
    }
    return t;
}
constexpr Tables tables = makeTables();

// The quad's 24 bits, first output byte highest.
inline std::uint32_t quad(const char* in) {
    return tables.at[0][static_cast<unsigned char>(in[0])] | tables.at[1][static_cast<unsigned char>(in[1])] |
           tables.at[2][static_cast<unsigned char>(in[2])] | tables.at[3][static_cast<unsigned char>(in[3])];
}

// Range checks rather than a table, so that the check vectorises: it runs over the whole
// text of a buffer that may be 100 MB.
bool inAlphabet(const char* p, std::size_t n) {
    std::uint8_t bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<std::uint8_t>(p[i]);
        const std::uint8_t ok = (std::uint8_t(c - 'A') < 26) | (std::uint8_t(c - 'a') < 26) |
                                (std::uint8_t(c - '0') < 10) | (c == '+') | (c == '/');
        bad |= ok ^ 1;
    }
    return bad == 0;
}

// Eight bytes whose first six are the two quads' output, in memory order.
inline void storeTwoQuads(const char* in, std::uint8_t* out) {
    std::uint64_t v = std::uint64_t(quad(in)) << 40 | std::uint64_t(quad(in + 4)) << 16;
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    std::memcpy(out, &v, 8);
}

#ifdef TRIMEO_BASE64_SSSE3
// 16 characters to 12 bytes per step. The text is known valid, so this only translates: each
// character's offset to its sextet follows from its high nibble, with '/' moved to its own slot.
// Then pairs of sextets merge into 12 bits, pairs of those into 24, and a shuffle puts the three
// bytes of each group in order. Stores 16 bytes per step: `length` must keep 4 to spare.
__attribute__((target("ssse3"))) void decodeBlocksSSSE3(const char*& in, std::uint8_t*& out, std::size_t& length) {
    const __m128i roll = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i slash = _mm_set1_epi8(0x2F), nibble = _mm_set1_epi8(0x0F);
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    for (; length >= 16; length -= 12, in += 16, out += 12) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i high = _mm_and_si128(_mm_srli_epi32(chars, 4), nibble);
        const __m128i isSlash = _mm_cmpeq_epi8(chars, slash); // -1 moves '/' from slot 2 to 1
        const __m128i sextets = _mm_add_epi8(chars, _mm_shuffle_epi8(roll, _mm_add_epi8(high, isSlash)));
        const __m128i twelve = _mm_maddubs_epi16(sextets, _mm_set1_epi32(0x01400140));
        const __m128i twentyFour = _mm_madd_epi16(twelve, _mm_set1_epi32(0x00011000));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(twentyFour, order));
    }
}

bool hasSSSE3() {
    static const bool has = [] {
        __builtin_cpu_init(); // may run before static constructors have
        return bool(__builtin_cpu_supports("ssse3"));
    }();
    return has;
}
#endif

} // namespace

std::optional<std::size_t> base64DecodedSize(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.empty()) return 0;
    const std::size_t padding = text.back() != '=' ? 0 : text[text.size() - 2] == '=' ? 2 : 1;
    if (!inAlphabet(text.data(), text.size() - padding)) return std::nullopt;
    return text.size() / 4 * 3 - padding;
}

void decodeBase64Range(std::string_view text, std::size_t offset, std::size_t length, std::uint8_t* out) {
    const char* in = text.data() + offset / 3 * 4;
    // A range that starts or ends inside a quad takes its bytes from a decoded copy of it.
    auto partial = [&](std::size_t skip, std::size_t n) {
        const std::uint32_t v = quad(in);
        const std::uint8_t bytes[3] = {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
        std::copy(bytes + skip, bytes + skip + n, out);
        out += n;
        length -= n;
        in += 4;
    };
    if (const std::size_t skip = offset % 3; skip != 0 && length > 0) partial(skip, std::min(3 - skip, length));
#ifdef TRIMEO_BASE64_SSSE3
    if (hasSSSE3()) decodeBlocksSSSE3(in, out, length);
#endif
    // Two quads per step while eight bytes of the range remain: the two bytes stored beyond
    // the six decoded ones still lie in the range and are overwritten next.
    for (; length >= 8; length -= 6, in += 8, out += 6) storeTwoQuads(in, out);
    for (; length >= 3; length -= 3, in += 4, out += 3) {
        const std::uint32_t v = quad(in);
        out[0] = std::uint8_t(v >> 16);
        out[1] = std::uint8_t(v >> 8);
        out[2] = std::uint8_t(v);
    }
    if (length > 0) partial(0, length);
}

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    const auto size = base64DecodedSize(text);
    if (!size) return std::nullopt;
    std::vector<std::uint8_t> out(*size);
    decodeBase64Range(text, 0, out.size(), out.data());
    return out;
}

} // namespace trimeo::gltf
