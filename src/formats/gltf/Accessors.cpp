#include "Accessors.h"

#include "AccessorData.h"

namespace trimeo::gltf {
namespace {

std::int64_t byteOffset(const JSON* object) { return integerValue(member(object, "byteOffset")).value_or(0); }

std::optional<std::size_t> validIndex(const JSON* value, std::size_t size) {
    const auto i = integerValue(value);
    if (!i || *i < 0 || std::uint64_t(*i) >= size) return std::nullopt;
    return std::size_t(*i);
}

// The run of `count` elements of `elementSize` bytes at the view plus `offset`; empty when the
// view's buffer has no such elements. A stride too small for one element reads as packed.
ElementRun runIn(const ViewSlice& view, std::int64_t offset, std::int64_t count, std::size_t elementSize,
                 std::size_t stride) {
    return elementRun(view.buffer->size(), view.offset, offset, count, elementSize, stride >= elementSize ? stride : 0);
}

} // namespace

Accessors::Accessors(std::span<const JSON> accessors, BufferViews& views, DecodeBudget& budget)
    : accessors_(accessors), views_(views), budget_(budget) {}

template <typename T, typename Read>
std::optional<std::vector<T>> Accessors::base(const JSON& accessor, const Layout& layout, Read read) {
    const std::int64_t count = integerValue(member(accessor, "count")).value_or(0);
    const std::size_t elementSize = componentSize(layout.componentType) * layout.components;
    const auto v = validIndex(member(accessor, "bufferView"), views_.size());
    if (v) {
        const auto view = views_.view(*v);
        if (!view) return std::vector<T>();
        const ElementRun run = runIn(*view, byteOffset(&accessor), count, elementSize, view->stride);
        // The run is bounded by the buffer's size, so this cannot overflow.
        if (!budget_.take(run.count * layout.components * sizeof(T))) return std::vector<T>();
        return read(*view->buffer, run);
    }
    if (!member(accessor, "sparse")) return std::nullopt;
    // No bufferView: the elements start as zeros and only the sparse ones are stored.
    if (count <= 0) return std::vector<T>();
    const auto bytes = static_cast<unsigned __int128>(count) * layout.components * sizeof(T);
    if (bytes > budget_.remaining() || !budget_.take(std::size_t(bytes))) return std::vector<T>();
    return std::vector<T>(std::size_t(count) * layout.components, T(0));
}

// sparse: {"count", "indices": {"bufferView", "byteOffset", "componentType"},
// "values": {"bufferView", "byteOffset"}}; values[k] replaces element indices[k]. Both lists
// are tightly packed. Entries past the end of either list, or naming an element that is not
// there, are passed over.
template <typename T, typename Read>
void Accessors::applySparse(const JSON& accessor, const Layout& layout, std::vector<T>& values, Read read) {
    const JSON* sparse = member(accessor, "sparse");
    const std::int64_t count = integerValue(member(sparse, "count")).value_or(0);
    const JSON* indicesObject = member(sparse, "indices");
    const JSON* valuesObject = member(sparse, "values");
    const auto iv = validIndex(member(indicesObject, "bufferView"), views_.size());
    const auto vv = validIndex(member(valuesObject, "bufferView"), views_.size());
    if (count <= 0 || !iv || !vv || layout.components == 0) return;
    const auto indexView = views_.view(*iv);
    const auto valueView = views_.view(*vv);
    if (!indexView || !valueView) return;

    const std::int64_t indexType = integerValue(member(indicesObject, "componentType")).value_or(0);
    const std::vector<std::uint32_t> targets =
        readUnsigned(*indexView->buffer, runIn(*indexView, byteOffset(indicesObject), count, componentSize(indexType), 0),
                     indexType);
    const std::size_t elementSize = componentSize(layout.componentType) * layout.components;
    const std::vector<T> replacements =
        read(*valueView->buffer, runIn(*valueView, byteOffset(valuesObject), count, elementSize, 0));
    const std::size_t elements = values.size() / layout.components;
    const std::size_t n = std::min(targets.size(), replacements.size() / layout.components);
    for (std::size_t k = 0; k < n; ++k) {
        if (targets[k] >= elements) continue;
        std::copy_n(replacements.begin() + std::ptrdiff_t(k * layout.components), layout.components,
                    values.begin() + std::ptrdiff_t(std::size_t(targets[k]) * layout.components));
    }
}

std::vector<float> Accessors::floats(std::size_t index, std::size_t components) {
    if (index >= accessors_.size()) return {};
    const JSON& accessor = accessors_[index];
    const JSON* normalizedValue = member(accessor, "normalized");
    const Layout layout{integerValue(member(accessor, "componentType")).value_or(floatComponent), components,
                        normalizedValue && normalizedValue->is_boolean() && normalizedValue->get<bool>()};
    if (layout.componentType == unsignedInt || componentSize(layout.componentType) == 0) return {};
    auto read = [&](const BinaryBuffer& buffer, ElementRun run) {
        return readFloats(buffer, run, layout.componentType, layout.components, layout.normalized);
    };
    auto values = base<float>(accessor, layout, read);
    if (!values) return {};
    applySparse<float>(accessor, layout, *values, read);
    return std::move(*values);
}

std::optional<std::vector<std::uint32_t>> Accessors::indices(std::size_t index) {
    if (index >= accessors_.size()) return std::nullopt;
    const JSON& accessor = accessors_[index];
    const Layout layout{integerValue(member(accessor, "componentType")).value_or(unsignedShort), 1, false};
    if (layout.componentType != unsignedByte && layout.componentType != unsignedShort &&
        layout.componentType != unsignedInt) {
        // No index at all, though the accessor is there.
        const bool stored = validIndex(member(accessor, "bufferView"), views_.size()) || member(accessor, "sparse");
        return stored ? std::optional(std::vector<std::uint32_t>()) : std::nullopt;
    }
    auto read = [&](const BinaryBuffer& buffer, ElementRun run) {
        return readUnsigned(buffer, run, layout.componentType);
    };
    auto values = base<std::uint32_t>(accessor, layout, read);
    if (!values) return std::nullopt;
    applySparse<std::uint32_t>(accessor, layout, *values, read);
    return values;
}

} // namespace trimeo::gltf
