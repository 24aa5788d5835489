#include "MeshoptView.h"

#include <meshoptimizer.h>

#include <string_view>

namespace trimeo::gltf {
namespace {

enum class Mode { attributes, triangles, indices };
enum class Filter { none, octahedral, quaternion, exponential };

// Short names only: a long string never matches, so reading the tree directly is enough.
std::optional<std::string_view> textOf(const JSON* value) {
    if (!value || !value->is_string()) return std::nullopt;
    return std::string_view(value->get_ref<const std::string&>());
}

std::optional<Mode> modeOf(const JSON* value) {
    const auto text = textOf(value);
    if (text == "ATTRIBUTES") return Mode::attributes;
    if (text == "TRIANGLES") return Mode::triangles;
    if (text == "INDICES") return Mode::indices;
    return std::nullopt;
}

std::optional<Filter> filterOf(const JSON* value) {
    if (!value) return Filter::none;
    const auto text = textOf(value);
    if (text == "NONE") return Filter::none;
    if (text == "OCTAHEDRAL") return Filter::octahedral;
    if (text == "QUATERNION") return Filter::quaternion;
    if (text == "EXPONENTIAL") return Filter::exponential;
    return std::nullopt;
}

// What the codec and the filters accept (meshoptimizer.h), checked before any call.
bool acceptable(Mode mode, Filter filter, std::int64_t count, std::int64_t stride) {
    if (count < 0) return false;
    switch (mode) {
    case Mode::attributes:
        if (stride <= 0 || stride > 256 || stride % 4 != 0) return false;
        if (filter == Filter::octahedral) return stride == 4 || stride == 8;
        if (filter == Filter::quaternion) return stride == 8;
        return true;
    case Mode::triangles:
        if (count % 3 != 0) return false;
        [[fallthrough]];
    case Mode::indices: return (stride == 2 || stride == 4) && filter == Filter::none;
    }
    return false;
}

} // namespace

std::optional<std::vector<std::uint8_t>> decodeMeshoptView(const JSON& extension, BufferSet& buffers,
                                                          DecodeBudget& budget) {
    const auto mode = modeOf(member(extension, "mode"));
    const auto filter = filterOf(member(extension, "filter"));
    const auto count = integerValue(member(extension, "count"));
    const auto stride = integerValue(member(extension, "byteStride"));
    const auto bufferIndex = integerValue(member(extension, "buffer"));
    const auto offset = integerValue(member(extension, "byteOffset")).value_or(0);
    const auto length = integerValue(member(extension, "byteLength"));
    if (!mode || !filter || !count || !stride || !bufferIndex || !length) return std::nullopt;
    if (!acceptable(*mode, *filter, *count, *stride) || *bufferIndex < 0 || offset < 0 || *length < 0) return std::nullopt;

    const BinaryBuffer* source = buffers.buffer(std::size_t(*bufferIndex));
    if (!source || std::uint64_t(offset) > source->size() || std::uint64_t(*length) > source->size() - std::uint64_t(offset))
        return std::nullopt;
    // count is at most 2^63 and stride at most 256: the product is checked against the budget
    // before anything is allocated.
    const auto outputSize = static_cast<unsigned __int128>(*count) * std::uint64_t(*stride);
    if (outputSize > budget.remaining() || !budget.take(std::size_t(outputSize))) return std::nullopt;

    std::vector<std::uint8_t> compressed(static_cast<std::size_t>(*length));
    if (!source->read(std::size_t(offset), compressed.size(), compressed.data())) return std::nullopt;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(outputSize));
    const auto n = std::size_t(*count);
    const auto size = std::size_t(*stride);
    int status = -1;
    switch (*mode) {
    case Mode::attributes:
        status = meshopt_decodeVertexBuffer(out.data(), n, size, compressed.data(), compressed.size());
        break;
    case Mode::triangles:
        status = meshopt_decodeIndexBuffer(out.data(), n, size, compressed.data(), compressed.size());
        break;
    case Mode::indices:
        status = meshopt_decodeIndexSequence(out.data(), n, size, compressed.data(), compressed.size());
        break;
    }
    if (status != 0) return std::nullopt;
    switch (*filter) {
    case Filter::none: break;
    case Filter::octahedral: meshopt_decodeFilterOct(out.data(), n, size); break;
    case Filter::quaternion: meshopt_decodeFilterQuat(out.data(), n, size); break;
    case Filter::exponential: meshopt_decodeFilterExp(out.data(), n, size); break;
    }
    return out;
}

} // namespace trimeo::gltf
