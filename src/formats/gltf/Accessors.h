// The document's accessors read as whole arrays: byteStride honoured, integer components
// converted (KHR_mesh_quantization), sparse substitutions applied. Every array is charged to
// the document's DecodeBudget before it is allocated.
#pragma once

#include "BufferViews.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace trimeo::gltf {

class Accessors {
public:
    Accessors(std::span<const JSON> accessors, BufferViews& views, DecodeBudget& budget);

    std::size_t size() const { return accessors_.size(); }

    // `components` floats per element (a VEC3 position: 3). Component type 5126 (the default)
    // or, normalised or not, 5120 to 5123. Elements reaching past the end of their buffer are
    // left out. Empty when the accessor has no elements to read: no valid "bufferView" and no
    // "sparse", no "count", an unknown component type, or the budget spent.
    std::vector<float> floats(std::size_t index, std::size_t components);

    // Index values: component type 5121, 5123 (the default) or 5125. Nullopt when the
    // accessor has neither a valid "bufferView" nor "sparse" (the caller then numbers the
    // vertices); empty for an unknown component type, no "count", or the budget spent.
    std::optional<std::vector<std::uint32_t>> indices(std::size_t index);

private:
    struct Layout {
        std::int64_t componentType;
        std::size_t components;
        bool normalized;
    };
    // The base elements: read from the bufferView, or zeros when there is none but "sparse"
    // is given. Nullopt when neither is there.
    template <typename T, typename Read>
    std::optional<std::vector<T>> base(const JSON& accessor, const Layout& layout, Read read);
    template <typename T, typename Read>
    void applySparse(const JSON& accessor, const Layout& layout, std::vector<T>& values, Read read);

    std::span<const JSON> accessors_;
    BufferViews& views_;
    DecodeBudget& budget_;
};

} // namespace trimeo::gltf
