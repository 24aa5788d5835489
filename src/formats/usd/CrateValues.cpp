#include "CrateValues.h"

#include "ByteCursor.h"
#include "CrateCompression.h"
#include "formats/common/MemoryBudget.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace trimeo::usd {
namespace {

constexpr std::uint64_t kIsArray = 1ull << 63;
constexpr std::uint64_t kIsInlined = 1ull << 62;
constexpr std::uint64_t kIsCompressed = 1ull << 61;
constexpr std::uint64_t kPayloadMask = (1ull << 48) - 1;

enum class Scalar { none, boolean, u8, i32, u32, i64, u64, half, f32, f64 };

// One row per crate type code that holds numbers: the component type and how many.
// Quaternions are stored imaginary part first; `quaternion` moves the real part to the front.
struct NumericType {
    unsigned code;
    Scalar scalar;
    int components;
    bool matrix = false;
    bool quaternion = false;
};

constexpr NumericType kNumericTypes[] = {
    {1, Scalar::boolean, 1},  {2, Scalar::u8, 1},        {3, Scalar::i32, 1},      {4, Scalar::u32, 1},
    {5, Scalar::i64, 1},      {6, Scalar::u64, 1},       {7, Scalar::half, 1},     {8, Scalar::f32, 1},
    {9, Scalar::f64, 1},      {13, Scalar::f64, 4, true}, {14, Scalar::f64, 9, true}, {15, Scalar::f64, 16, true},
    {16, Scalar::f64, 4, false, true}, {17, Scalar::f32, 4, false, true}, {18, Scalar::half, 4, false, true},
    {19, Scalar::f64, 2},     {20, Scalar::f32, 2},      {21, Scalar::half, 2},    {22, Scalar::i32, 2},
    {23, Scalar::f64, 3},     {24, Scalar::f32, 3},      {25, Scalar::half, 3},    {26, Scalar::i32, 3},
    {27, Scalar::f64, 4},     {28, Scalar::f32, 4},      {29, Scalar::half, 4},    {30, Scalar::i32, 4},
};

enum TextType : unsigned { kString = 10, kToken = 11, kAssetPath = 12, kTokenVector = 41, kSpecifier = 42 };
constexpr unsigned kTimeSamples = 46;

const NumericType* numericType(unsigned code) {
    for (const NumericType& t : kNumericTypes)
        if (t.code == code) return &t;
    return nullptr;
}

std::size_t scalarSize(Scalar s) {
    switch (s) {
    case Scalar::boolean:
    case Scalar::u8: return 1;
    case Scalar::half: return 2;
    case Scalar::i32:
    case Scalar::u32:
    case Scalar::f32: return 4;
    default: return 8;
    }
}

double halfToDouble(std::uint16_t h) {
    const int exponent = (h >> 10) & 0x1f;
    const int mantissa = h & 0x3ff;
    double v;
    if (exponent == 0) v = std::ldexp(mantissa, -24);
    else if (exponent == 31) v = mantissa ? NAN : INFINITY;
    else v = std::ldexp(mantissa + 1024, exponent - 25);
    return (h & 0x8000) ? -v : v;
}

double readScalar(ByteCursor& in, Scalar s) {
    switch (s) {
    case Scalar::boolean:
    case Scalar::u8: return in.read<std::uint8_t>();
    case Scalar::i32: return in.read<std::int32_t>();
    case Scalar::u32: return in.read<std::uint32_t>();
    case Scalar::i64: return double(in.read<std::int64_t>());
    case Scalar::u64: return double(in.read<std::uint64_t>());
    case Scalar::half: return halfToDouble(in.read<std::uint16_t>());
    case Scalar::f32: return in.read<float>();
    case Scalar::f64: return in.read<double>();
    case Scalar::none: break;
    }
    return 0;
}

void appendElement(ByteCursor& in, const NumericType& t, std::vector<double>& out) {
    const std::size_t first = out.size();
    for (int c = 0; c < t.components; ++c) out.push_back(readScalar(in, t.scalar));
    if (t.quaternion) {
        const double real = out.back();
        out.pop_back();
        out.insert(out.begin() + std::ptrdiff_t(first), real);
    }
}

// Small values live in the representation itself: scalars in its low bits, vectors as one
// signed byte per component, matrices as their diagonal of signed bytes.
void inlineNumbers(const NumericType& t, std::uint64_t payload, std::vector<double>& out) {
    const auto low32 = std::uint32_t(payload);
    if (t.components == 1) {
        switch (t.scalar) {
        case Scalar::half: out.push_back(halfToDouble(std::uint16_t(payload))); return;
        case Scalar::f32:
        case Scalar::f64: { // a double that fits a float is inlined as one
            float f;
            std::memcpy(&f, &low32, 4);
            out.push_back(f);
            return;
        }
        case Scalar::i32:
        case Scalar::i64: out.push_back(std::int32_t(low32)); return;
        default: out.push_back(low32); return;
        }
    }
    const int side = t.matrix ? int(std::lround(std::sqrt(t.components))) : 0;
    for (int c = 0; c < t.components; ++c) {
        if (t.matrix) {
            const int row = c / side, col = c % side;
            out.push_back(row == col ? double(std::int8_t(payload >> (8 * row))) : 0.0);
        } else {
            out.push_back(double(std::int8_t(payload >> (8 * c))));
        }
    }
}

std::uint64_t arrayCount(ByteCursor& in, const CrateLayout& layout) {
    // Counts grew from 32 to 64 bits in version 0.7.0.
    return layout.minor >= 7 ? in.read<std::uint64_t>() : in.read<std::uint32_t>();
}

void compressedArray(ByteCursor& in, const CrateLayout& layout, const NumericType& t, std::vector<double>& out) {
    const auto count = arrayCount(in, layout);
    if (t.components != 1) throw UsdFormatError("compressed array of a vector type");
    switch (t.scalar) {
    case Scalar::i32:
    case Scalar::u32:
        for (std::uint32_t v : readCompressedInts32(in, count))
            out.push_back(t.scalar == Scalar::i32 ? double(std::int32_t(v)) : double(v));
        return;
    case Scalar::i64:
    case Scalar::u64:
        for (std::uint64_t v : readCompressedInts64(in, count))
            out.push_back(t.scalar == Scalar::i64 ? double(std::int64_t(v)) : double(v));
        return;
    case Scalar::half:
    case Scalar::f32:
    case Scalar::f64: {
        const auto code = in.read<std::uint8_t>();
        if (code == 'i') { // integral values, coded as integers
            for (std::uint32_t v : readCompressedInts32(in, count)) out.push_back(std::int32_t(v));
        } else if (code == 't') { // a table of distinct values and an index per element
            const auto tableSize = in.read<std::uint32_t>();
            if (tableSize > in.remaining() / scalarSize(t.scalar)) throw UsdFormatError("value table runs past the end");
            std::vector<double> table;
            table.reserve(tableSize);
            for (std::uint32_t i = 0; i < tableSize; ++i) table.push_back(readScalar(in, t.scalar));
            for (std::uint32_t index : readCompressedInts32(in, count)) {
                if (index >= table.size()) throw UsdFormatError("value table index out of range");
                out.push_back(table[index]);
            }
        } else {
            throw UsdFormatError("unknown float array coding");
        }
        return;
    }
    default: throw UsdFormatError("compressed array of an uncompressible type");
    }
}

const std::string& textOf(const CrateLayout& layout, unsigned type, std::uint64_t index) {
    if (type == kString) {
        if (index >= layout.strings.size()) throw UsdFormatError("string index out of range");
        index = layout.strings[std::size_t(index)];
    }
    if (index >= layout.tokens.size()) throw UsdFormatError("token index out of range");
    return layout.tokens[std::size_t(index)];
}

Value unpack(const CrateLayout& layout, std::uint64_t rep, bool allowSamples) {
    Value v;
    const unsigned type = crateTypeOf(rep);
    const std::uint64_t payload = rep & kPayloadMask;
    const bool isArray = rep & kIsArray;
    const bool isInlined = rep & kIsInlined;

    if (type == kTimeSamples && allowSamples && !isInlined) {
        // An offset to the sample times, then one to the count and the values' representations.
        ByteCursor in(layout.bytes, payload);
        const auto jump = [&in] {
            const std::uint64_t start = in.tell();
            in.seek(start + std::uint64_t(in.read<std::int64_t>()));
        };
        jump();
        in.read<std::uint64_t>(); // the times' representation: not needed for the first sample
        jump();
        if (in.read<std::uint64_t>() == 0) return v;
        return unpack(layout, in.read<std::uint64_t>(), false);
    }
    if (type == kString || type == kToken || type == kAssetPath || type == kTokenVector) {
        if (isInlined && !isArray && type != kTokenVector) {
            v.texts.push_back(textOf(layout, type, payload));
            return v;
        }
        if (isInlined || payload == 0) return v; // payload 0: an empty array
        ByteCursor in(layout.bytes, payload);
        const auto count = type == kTokenVector ? in.read<std::uint64_t>() : arrayCount(in, layout);
        if (!isArray && type != kTokenVector) {
            v.texts.push_back(textOf(layout, type, in.read<std::uint32_t>()));
            return v;
        }
        if (count > in.remaining() / 4) throw UsdFormatError("text array runs past the end");
        for (std::uint64_t i = 0; i < count; ++i) v.texts.push_back(textOf(layout, type, in.read<std::uint32_t>()));
        return v;
    }
    if (type == kSpecifier) {
        v.numbers.push_back(double(payload & 0xffffffffu));
        return v;
    }
    const NumericType* t = numericType(type);
    if (!t) return v;
    if (isInlined) {
        if (!isArray) inlineNumbers(*t, payload, v.numbers);
        return v;
    }
    if (isArray && payload == 0) return v;
    ByteCursor in(layout.bytes, payload);
    if (!isArray) {
        appendElement(in, *t, v.numbers);
        return v;
    }
    if (rep & kIsCompressed) {
        compressedArray(in, layout, *t, v.numbers);
        return v;
    }
    const auto count = arrayCount(in, layout);
    const std::size_t elementSize = scalarSize(t->scalar) * std::size_t(t->components);
    if (count > in.remaining() / elementSize) throw UsdFormatError("array runs past the end");
    // Numbers are held as doubles: up to eight times the bytes a half-precision array takes.
    requireMemory(count * t->components * sizeof(double));
    v.numbers.reserve(std::size_t(count) * std::size_t(t->components));
    for (std::uint64_t i = 0; i < count; ++i) appendElement(in, *t, v.numbers);
    return v;
}

enum CompositionType : unsigned {
    kStringListOp = 33, kTokenListOp = 32, kPathListOp = 34, kReferenceListOp = 35, kPathVector = 40,
    kVariantSelectionMap = 45, kPayload = 47, kStringVector = 50, kPayloadListOp = 55
};

std::uint64_t itemCount(ByteCursor& in, std::size_t smallestItem) {
    const auto count = in.read<std::uint64_t>();
    if (count > in.remaining() / smallestItem) throw UsdFormatError("list runs past the end");
    return count;
}

// A dictionary's entries are skipped: each is a key and an offset to the value's representation.
void skipDictionary(ByteCursor& in) {
    const auto count = itemCount(in, 12);
    for (std::uint64_t i = 0; i < count; ++i) {
        in.read<std::uint32_t>();
        const std::uint64_t start = in.tell();
        in.seek(start + std::uint64_t(in.read<std::int64_t>()));
        in.read<std::uint64_t>();
    }
}

// A list op: a header byte saying which lists follow, then each present list (a count and
// its items) in the order explicit, added, prepended, appended, deleted, ordered.
template <class ReadItem> auto listOp(ByteCursor& in, ReadItem readItem, std::size_t smallestItem) {
    using Item = decltype(readItem(in));
    enum { kExplicit, kAdded, kPrepended, kAppended, kDeleted, kOrdered };
    constexpr std::uint8_t kBits[] = {1 << 1, 1 << 2, 1 << 5, 1 << 6, 1 << 3, 1 << 4};
    const auto header = in.read<std::uint8_t>();
    std::vector<Item> lists[6];
    for (int l = kExplicit; l <= kOrdered; ++l) {
        if (!(header & kBits[l])) continue;
        const auto count = itemCount(in, smallestItem);
        for (std::uint64_t i = 0; i < count; ++i) lists[l].push_back(readItem(in));
    }
    std::vector<Item> out;
    for (int l : {kPrepended, kExplicit, kAdded, kAppended})
        for (Item& item : lists[l])
            if (std::find(lists[kDeleted].begin(), lists[kDeleted].end(), item) == lists[kDeleted].end())
                out.push_back(item);
    return out;
}

std::string pathAt(const CrateLayout& layout, std::uint32_t index) {
    // The empty path (no prim named) is told apart by naming no path or the root.
    if (index >= layout.paths.size() || layout.paths[index].parent < 0) return {};
    return layout.pathText(index);
}

Arc readArc(ByteCursor& in, const CrateLayout& layout, bool isReference) {
    Arc arc;
    arc.assetPath = textOf(layout, kString, in.read<std::uint32_t>());
    arc.primPath = pathAt(layout, in.read<std::uint32_t>());
    // Payloads carry a layer offset from version 0.8.0 on; references always, and custom data.
    if (isReference || layout.minor >= 8) in.take(16);
    if (isReference) skipDictionary(in);
    return arc;
}

} // namespace

Value unpackValue(const CrateLayout& layout, std::uint64_t valueRep) { return unpack(layout, valueRep, true); }

std::vector<Arc> unpackArcs(const CrateLayout& layout, std::uint64_t rep) {
    if (rep & kIsInlined) return {};
    ByteCursor in(layout.bytes, rep & kPayloadMask);
    switch (crateTypeOf(rep)) {
    case kReferenceListOp: return listOp(in, [&](ByteCursor& c) { return readArc(c, layout, true); }, 24);
    case kPayloadListOp: return listOp(in, [&](ByteCursor& c) { return readArc(c, layout, false); }, 8);
    case kPayload: return {readArc(in, layout, false)};
    default: {
        std::vector<Arc> out;
        for (std::string& p : unpackPaths(layout, rep)) out.push_back({std::string(), std::move(p)});
        return out;
    }
    }
}

std::vector<std::string> unpackPaths(const CrateLayout& layout, std::uint64_t rep) {
    if (rep & kIsInlined) return {};
    ByteCursor in(layout.bytes, rep & kPayloadMask);
    const auto path = [&](ByteCursor& c) { return pathAt(layout, c.read<std::uint32_t>()); };
    std::vector<std::string> out;
    if (crateTypeOf(rep) == kPathListOp) out = listOp(in, path, 4);
    else if (crateTypeOf(rep) == kPathVector)
        for (auto n = itemCount(in, 4); n > 0; --n) out.push_back(path(in));
    std::erase(out, std::string());
    return out;
}

std::vector<std::string> unpackStrings(const CrateLayout& layout, std::uint64_t rep) {
    const unsigned type = crateTypeOf(rep);
    if (rep & kIsInlined) return {};
    ByteCursor in(layout.bytes, rep & kPayloadMask);
    const unsigned itemType = type == kTokenListOp ? kToken : kString;
    const auto text = [&](ByteCursor& c) { return textOf(layout, itemType, c.read<std::uint32_t>()); };
    if (type == kStringListOp || type == kTokenListOp) return listOp(in, text, 4);
    std::vector<std::string> out;
    if (type == kStringVector)
        for (auto n = itemCount(in, 4); n > 0; --n) out.push_back(text(in));
    return out;
}

std::map<std::string, std::string> unpackVariantSelection(const CrateLayout& layout, std::uint64_t rep) {
    std::map<std::string, std::string> out;
    if ((rep & kIsInlined) || crateTypeOf(rep) != kVariantSelectionMap) return out;
    ByteCursor in(layout.bytes, rep & kPayloadMask);
    for (auto n = itemCount(in, 8); n > 0; --n) {
        std::string set = textOf(layout, kString, in.read<std::uint32_t>());
        out[set] = textOf(layout, kString, in.read<std::uint32_t>());
    }
    return out;
}

} // namespace trimeo::usd
