#include "BufferViews.h"

#include "MeshoptView.h"

namespace trimeo::gltf {
namespace {

// glTF allows 4 to 252; anything outside what an element could use reads as packed.
std::size_t strideOf(const JSON& view) {
    const auto stride = integerValue(member(view, "byteStride"));
    return stride && *stride > 0 && *stride <= 256 ? std::size_t(*stride) : 0;
}

} // namespace

BufferViews::BufferViews(std::span<const JSON> views, BufferSet& buffers, DecodeBudget& budget)
    : views_(views), buffers_(buffers), budget_(budget) {}

std::optional<ViewSlice> BufferViews::view(std::size_t index) {
    if (index >= views_.size()) return std::nullopt;
    const JSON& view = views_[index];
    ViewSlice slice;
    slice.stride = strideOf(view);
    slice.length = integerValue(member(view, "byteLength"));

    if (const JSON* meshopt = member(member(view, "extensions"), "EXT_meshopt_compression")) {
        // Decoded once, failures included, however many accessors read the view.
        auto known = decodedBuffers_.find(index);
        if (known == decodedBuffers_.end()) {
            auto bytes = decodeMeshoptView(*meshopt, buffers_, budget_);
            std::optional<BinaryBuffer> buffer;
            if (bytes) {
                auto owned = std::make_unique<const std::vector<std::uint8_t>>(std::move(*bytes));
                buffer = BinaryBuffer::fromBytes(*owned);
                decoded_.emplace(index, std::move(owned));
            }
            known = decodedBuffers_.emplace(index, buffer).first;
        }
        if (!known->second) return std::nullopt;
        slice.buffer = &*known->second;
        slice.length = std::int64_t(known->second->size());
        return slice;
    }

    // A view without "buffer" reads buffer 0, as when every view lay in the one buffer.
    const auto b = integerValue(member(view, "buffer")).value_or(0);
    if (b < 0) return std::nullopt;
    slice.buffer = buffers_.buffer(std::size_t(b));
    if (!slice.buffer) return std::nullopt;
    slice.offset = integerValue(member(view, "byteOffset")).value_or(0);
    return slice;
}

} // namespace trimeo::gltf
