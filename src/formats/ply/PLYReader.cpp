#include "PLYReader.h"

#include "formats/common/MemoryBudget.h"
#include "formats/common/Numbers.h"

#include <bit>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace trimeo {
namespace {
using namespace scene;

enum class Format { ascii, little, big };
enum class Type { none, i8, u8, i16, u16, i32, u32, f32, f64 };

Type typeNamed(std::string_view n) {
    if (n == "char" || n == "int8") return Type::i8;
    if (n == "uchar" || n == "uint8") return Type::u8;
    if (n == "short" || n == "int16") return Type::i16;
    if (n == "ushort" || n == "uint16") return Type::u16;
    if (n == "int" || n == "int32") return Type::i32;
    if (n == "uint" || n == "uint32") return Type::u32;
    if (n == "float" || n == "float32") return Type::f32;
    if (n == "double" || n == "float64") return Type::f64;
    return Type::none;
}

std::size_t sizeOf(Type t) {
    switch (t) {
    case Type::i8: case Type::u8: return 1;
    case Type::i16: case Type::u16: return 2;
    case Type::i32: case Type::u32: case Type::f32: return 4;
    case Type::f64: return 8;
    case Type::none: break;
    }
    return 0;
}

struct Property {
    std::string name;
    Type type = Type::none;
    Type countType = Type::none; // a list when not none
};

struct Element {
    std::string name;
    std::uint64_t count = 0;
    std::vector<Property> properties;
};

struct Header {
    Format format = Format::ascii;
    std::vector<Element> elements;
    std::size_t bodyStart = 0;
};

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        const std::size_t start = i;
        while (i < line.size() && !(line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// The header, or nothing when this reader should not take the file.
std::optional<Header> readHeader(std::span<const std::uint8_t> data) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (text.substr(0, 4) != "ply\n" && text.substr(0, 5) != "ply\r\n") return std::nullopt;
    Header h;
    bool haveFormat = false;
    std::size_t at = text.find('\n') + 1;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) return std::nullopt; // cut off inside the header
        const std::vector<std::string_view> w = words(text.substr(at, end - at));
        at = end + 1;
        if (w.empty()) continue;
        if (w[0] == "end_header") {
            h.bodyStart = at;
            return haveFormat ? std::optional(h) : std::nullopt;
        }
        if (w[0] == "comment" || w[0] == "obj_info") {
            if (w.size() > 1 && w[1] == "TextureFile") return std::nullopt; // a texture: the library's job
        } else if (w[0] == "format" && w.size() >= 2) {
            haveFormat = true;
            if (w[1] == "ascii") h.format = Format::ascii;
            else if (w[1] == "binary_little_endian") h.format = Format::little;
            else if (w[1] == "binary_big_endian") h.format = Format::big;
            else return std::nullopt;
        } else if (w[0] == "element" && w.size() == 3) {
            Element e;
            e.name = std::string(w[1]);
            auto [p, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), e.count);
            if (ec != std::errc() || p != w[2].data() + w[2].size()) return std::nullopt;
            h.elements.push_back(std::move(e));
        } else if (w[0] == "property" && !h.elements.empty()) {
            Property p;
            if (w.size() == 5 && w[1] == "list") {
                p.countType = typeNamed(w[2]);
                p.type = typeNamed(w[3]);
                p.name = std::string(w[4]);
                if (p.countType == Type::none || p.countType == Type::f32 || p.countType == Type::f64) return std::nullopt;
            } else if (w.size() == 3) {
                p.type = typeNamed(w[1]);
                p.name = std::string(w[2]);
            } else {
                return std::nullopt;
            }
            if (p.type == Type::none) return std::nullopt;
            h.elements.back().properties.push_back(std::move(p));
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Values from the body, in either encoding. Every read says whether it stayed in bounds.
class Body {
public:
    Body(std::span<const std::uint8_t> data, std::size_t start, Format format)
        : data_(data), at_(start), format_(format) {}

    bool value(Type t, double& out) {
        if (format_ == Format::ascii) return text(t, out);
        const std::size_t n = sizeOf(t);
        if (data_.size() - at_ < n) return false;
        std::uint8_t b[8];
        std::memcpy(b, data_.data() + at_, n);
        at_ += n;
        if ((format_ == Format::big) == (std::endian::native == std::endian::little))
            for (std::size_t i = 0; i < n / 2; ++i) std::swap(b[i], b[n - 1 - i]);
        switch (t) {
        case Type::i8: out = double(std::int8_t(b[0])); break;
        case Type::u8: out = double(b[0]); break;
        case Type::i16: out = double(load<std::int16_t>(b)); break;
        case Type::u16: out = double(load<std::uint16_t>(b)); break;
        case Type::i32: out = double(load<std::int32_t>(b)); break;
        case Type::u32: out = double(load<std::uint32_t>(b)); break;
        case Type::f32: out = double(load<float>(b)); break;
        case Type::f64: out = load<double>(b); break;
        case Type::none: return false;
        }
        return true;
    }
    // The fewest bytes an element of these properties can take: bounds the counts.
    std::size_t smallest(const Element& e) const {
        std::size_t n = 0;
        for (const Property& p : e.properties)
            n += format_ == Format::ascii ? 2 : sizeOf(p.countType == Type::none ? p.type : p.countType);
        return n;
    }
    std::size_t remaining() const { return data_.size() - at_; }
    // Binary files in this machine's byte order can be read in place.
    bool isNative() const {
        return format_ != Format::ascii && (format_ == Format::little) == (std::endian::native == std::endian::little);
    }
    const std::uint8_t* here() const { return data_.data() + at_; }
    void skip(std::size_t n) { at_ += n; }

private:
    template <class T> static T load(const std::uint8_t* b) {
        T v;
        std::memcpy(&v, b, sizeof v);
        return v;
    }
    bool text(Type t, double& out) {
        const char* p = reinterpret_cast<const char*>(data_.data()) + at_;
        const char* end = reinterpret_cast<const char*>(data_.data()) + data_.size();
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
        std::from_chars_result r{};
        if (t == Type::f32 || t == Type::f64) {
            r = scanNumber(p, end, out);
        } else {
            long long v = 0;
            r = scanNumber(p, end, v);
            out = double(v);
        }
        if (r.ec != std::errc()) return false;
        at_ = std::size_t(r.ptr - reinterpret_cast<const char*>(data_.data()));
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::size_t at_;
    Format format_;
};

// Vertex rows of scalars only, with x, y, z (and nx, ny, nz when wanted) stored as floats.
// False, reading nothing, for any other layout.
bool readFloatRows(Body& body, const Element& e, const int xyz[3], const int nxyz[3], std::vector<float>& positions,
                   std::vector<float>& normals) {
    std::vector<std::size_t> offsets(e.properties.size());
    std::size_t rowSize = 0;
    for (std::size_t i = 0; i < e.properties.size(); ++i) {
        const Property& p = e.properties[i];
        if (p.countType != Type::none) return false;
        offsets[i] = rowSize;
        rowSize += sizeOf(p.type);
    }
    const bool withNormals = normals.capacity() > 0;
    std::size_t at[6];
    for (int k = 0; k < 6; ++k) {
        const int index = k < 3 ? xyz[k] : nxyz[k - 3];
        if (k >= 3 && !withNormals) break;
        if (index < 0 || e.properties[std::size_t(index)].type != Type::f32) return false;
        at[k] = offsets[index];
    }
    if (e.count > body.remaining() / std::max<std::size_t>(rowSize, 1)) return false; // the general path reports it
    const std::uint8_t* row = body.here();
    positions.resize(std::size_t(e.count) * 3);
    if (withNormals) normals.resize(std::size_t(e.count) * 3);
    for (std::size_t v = 0; v < e.count; ++v, row += rowSize) {
        for (int k = 0; k < 3; ++k) std::memcpy(&positions[v * 3 + std::size_t(k)], row + at[k], 4);
        if (withNormals)
            for (int k = 0; k < 3; ++k) std::memcpy(&normals[v * 3 + std::size_t(k)], row + at[k + 3], 4);
    }
    body.skip(std::size_t(e.count) * rowSize);
    return true;
}

// Faces whose only property is their index list with a 1-byte count and 4-byte indices.
bool isPlainIndexList(const Element& e) {
    if (e.properties.size() != 1) return false;
    const Property& list = e.properties[0];
    return list.countType == Type::u8 && (list.type == Type::i32 || list.type == Type::u32);
}

// Such faces, read in place, as fans.
bool readIndexLists(Body& body, const Element& e, std::vector<std::uint32_t>& triangles) {
    const bool isSigned = e.properties[0].type == Type::i32;
    for (std::uint64_t f = 0; f < e.count; ++f) {
        if (body.remaining() < 1) return false;
        const std::size_t n = *body.here();
        if (body.remaining() < 1 + 4 * n) return false;
        std::uint32_t corners[255];
        std::memcpy(corners, body.here() + 1, 4 * n);
        body.skip(1 + 4 * n);
        if (isSigned)
            for (std::size_t j = 0; j < n; ++j)
                if (std::int32_t(corners[j]) < 0) corners[j] = 0xffffffffu; // past any vertex list
        for (std::size_t j = 1; j + 1 < n; ++j) triangles.insert(triangles.end(), {corners[0], corners[j], corners[j + 1]});
    }
    return true;
}

bool isTexcoord(const std::string& n) {
    return n == "s" || n == "t" || n == "u" || n == "v" || n == "texture_u" || n == "texture_v" ||
           n == "texture_s" || n == "texture_t";
}

} // namespace

std::optional<ReaderResult> readPLY(const ReaderInput& input) {
    const std::span<const std::uint8_t> data = input.bytes;
    // The asset library hangs on a header cut off before its end; such a file holds nothing.
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    // Without its magic word no reader takes the file: refused here, before any copy of it.
    if (!text.starts_with("ply") && !text.starts_with("PLY")) throw LoaderError::noGeometry("no PLY magic word");
    if (text.starts_with("ply") && text.find("end_header") == std::string_view::npos) return ReaderResult{};
    const std::optional<Header> header = readHeader(data);
    if (!header) return std::nullopt;
    // What this reader takes: a vertex element with x, y, z, and faces as index lists.
    for (const Element& e : header->elements) {
        if (e.name == "tristrips") return std::nullopt;
        for (const Property& p : e.properties) {
            if (e.name == "vertex" && (isTexcoord(p.name) || p.countType != Type::none)) return std::nullopt;
            if (e.name == "face" && p.countType != Type::none && p.name != "vertex_indices" &&
                p.name != "vertex_index")
                return std::nullopt; // texture coordinate lists and the like
        }
    }

    Body body(data, header->bodyStart, header->format);
    std::vector<float> positions, normals;
    std::vector<std::uint32_t> triangles;
    bool sawVertices = false;
    ReaderResult nothing; // a file cut off or malformed in its body holds nothing
    std::vector<double> row, list;
    for (const Element& e : header->elements) {
        const std::size_t smallest = std::max<std::size_t>(1, body.smallest(e));
        // The last value of a text file may end without a separator, hence count - 1.
        if (e.count > 0 && (e.properties.empty() || e.count - 1 > body.remaining() / smallest)) return nothing;
        const bool isVertex = e.name == "vertex" && !sawVertices;
        const bool isFace = e.name == "face";
        int xyz[3] = {-1, -1, -1}, nxyz[3] = {-1, -1, -1}, indexList = -1;
        for (std::size_t i = 0; i < e.properties.size(); ++i) {
            const std::string& n = e.properties[i].name;
            for (int k = 0; k < 3; ++k) {
                if (n == std::string(1, char('x' + k))) xyz[k] = int(i);
                if (n == std::string("n") + char('x' + k)) nxyz[k] = int(i);
            }
            if (e.properties[i].countType != Type::none && (n == "vertex_indices" || n == "vertex_index"))
                indexList = int(i);
        }
        if (isVertex) {
            if (xyz[0] < 0 || xyz[1] < 0 || xyz[2] < 0) return std::nullopt;
            sawVertices = true;
            // A row of three bytes declares twelve bytes of positions: the count alone may ask
            // for several times the file's size.
            requireMemory(std::uint64_t(e.count) * 12 * (nxyz[0] >= 0 ? 2 : 1));
            positions.reserve(std::size_t(e.count) * 3);
            if (nxyz[0] >= 0 && nxyz[1] >= 0 && nxyz[2] >= 0) normals.reserve(std::size_t(e.count) * 3);
        }
        if (isFace) {
            requireMemory(std::uint64_t(e.count) * 12);
            triangles.reserve(std::size_t(e.count) * 3);
        }

        // The common binary layouts, read in place: float coordinates (and normals) in a
        // fixed-size row, and faces that are nothing but their index list.
        if (body.isNative() && isVertex && readFloatRows(body, e, xyz, nxyz, positions, normals)) continue;
        if (body.isNative() && isFace && indexList == 0 && isPlainIndexList(e)) {
            if (!readIndexLists(body, e, triangles)) return nothing;
            continue;
        }

        row.resize(e.properties.size());
        for (std::uint64_t item = 0; item < e.count; ++item) {
            for (std::size_t i = 0; i < e.properties.size(); ++i) {
                const Property& p = e.properties[i];
                if (p.countType == Type::none) {
                    if (!body.value(p.type, row[i])) return nothing;
                    continue;
                }
                double count = 0;
                if (!body.value(p.countType, count) || count < 0) return nothing;
                // Each entry takes at least a byte (binary) or two characters (text).
                if (count > double(body.remaining())) return nothing;
                const auto n = std::size_t(count);
                const bool keep = isFace && int(i) == indexList;
                if (keep) list.resize(n);
                double v = 0;
                for (std::size_t j = 0; j < n; ++j) {
                    if (!body.value(p.type, v)) return nothing;
                    if (keep) list[j] = v;
                }
                if (keep) {
                    // A fan over the polygon; negative or huge indices wrap to values past the
                    // vertex list, which the renderer never draws.
                    for (std::size_t j = 1; j + 1 < n; ++j)
                        for (double idx : {list[0], list[j], list[j + 1]})
                            triangles.push_back(idx >= 0 && idx < 4294967295.0 ? std::uint32_t(idx) : 0xffffffffu);
                }
            }
            if (isVertex) {
                for (int k = 0; k < 3; ++k) positions.push_back(float(row[std::size_t(xyz[k])]));
                if (normals.capacity())
                    for (int k = 0; k < 3; ++k) normals.push_back(float(row[std::size_t(nxyz[k])]));
            }
        }
    }

    ReaderResult read;
    read.scene = std::make_shared<Scene>();
    if (triangles.empty() || positions.empty()) return read; // points only: nothing to draw
    std::vector<GeometrySource> sources{GeometrySource::vertices(std::move(positions))};
    if (!normals.empty()) sources.push_back(GeometrySource::normals(std::move(normals)));
    auto node = Node::make(std::make_shared<Geometry>(std::move(sources),
                                                      std::vector<GeometryElement>{GeometryElement{std::move(triangles)}}));
    read.scene->rootNode->addChildNode(std::move(node));
    read.count = 1;
    return read;
}

} // namespace trimeo
