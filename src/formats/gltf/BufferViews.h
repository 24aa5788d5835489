// The document's bufferViews, each resolved to the buffer it reads from: its own "buffer", or
// for EXT_meshopt_compression the bytes its compressed source decodes to (decoded once).
#pragma once

#include "BufferSet.h"

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace trimeo::gltf {

struct ViewSlice {
    const BinaryBuffer* buffer = nullptr;
    std::int64_t offset = 0;            // of the view's first byte in `buffer`; may be out of range
    std::size_t stride = 0;             // "byteStride"; 0 when absent or not a sensible value
    std::optional<std::int64_t> length; // "byteLength", when an integer
};

class BufferViews {
public:
    BufferViews(std::span<const JSON> views, BufferSet& buffers, DecodeBudget& budget);

    std::size_t size() const { return views_.size(); }
    // Nullopt for an index out of range, a view whose buffer has no bytes, or compressed data
    // that does not decode. Throws what BufferSet::buffer throws.
    std::optional<ViewSlice> view(std::size_t index);

private:
    std::span<const JSON> views_;
    BufferSet& buffers_;
    DecodeBudget& budget_;
    std::map<std::size_t, std::unique_ptr<const std::vector<std::uint8_t>>> decoded_;
    std::map<std::size_t, std::optional<BinaryBuffer>> decodedBuffers_; // nullopt: did not decode
};

} // namespace trimeo::gltf
