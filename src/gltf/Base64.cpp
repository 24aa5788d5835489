#include "Base64.h"

#include <array>

namespace trimeo::gltf {
namespace {

constexpr std::uint32_t invalid = 0x100; // outside any 6-bit value, so it survives an OR

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (auto& v : table) v = invalid;
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::uint32_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = i;
    return table;
}
constexpr auto table = makeTable();

inline std::uint32_t sextet(char c) { return table[static_cast<unsigned char>(c)]; }

} // namespace

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.empty()) return std::vector<std::uint8_t>{};

    const std::size_t padding = text.back() != '=' ? 0 : text[text.size() - 2] == '=' ? 2 : 1;
    const std::size_t fullQuads = text.size() / 4 - (padding ? 1 : 0);
    std::vector<std::uint8_t> out(text.size() / 4 * 3 - padding);

    // Validity is collected with an OR and checked once: the hot loop has no branches.
    std::uint32_t bad = 0;
    const char* in = text.data();
    std::uint8_t* o = out.data();
    for (std::size_t q = 0; q < fullQuads; ++q, in += 4, o += 3) {
        const std::uint32_t a = sextet(in[0]), b = sextet(in[1]), c = sextet(in[2]), d = sextet(in[3]);
        bad |= a | b | c | d;
        const std::uint32_t v = a << 18 | b << 12 | c << 6 | d;
        o[0] = std::uint8_t(v >> 16);
        o[1] = std::uint8_t(v >> 8);
        o[2] = std::uint8_t(v);
    }
    if (padding) {
        const std::uint32_t a = sextet(in[0]), b = sextet(in[1]);
        const std::uint32_t c = padding == 2 ? 0 : sextet(in[2]);
        bad |= a | b | c;
        const std::uint32_t v = a << 18 | b << 12 | c << 6;
        o[0] = std::uint8_t(v >> 16);
        if (padding == 1) o[1] = std::uint8_t(v >> 8);
    }
    if (bad & invalid) return std::nullopt;
    return out;
}

} // namespace trimeo::gltf
