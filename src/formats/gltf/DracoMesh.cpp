#include "DracoMesh.h"

#include <draco/compression/decode.h>

#include <limits>

namespace trimeo::gltf {

std::optional<DecodedMesh> decodeDracoMesh(std::span<const std::uint8_t> bytes, std::int64_t positionId,
                                           DecodeBudget& budget) {
    if (positionId < 0 || positionId > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    draco::DecoderBuffer buffer;
    buffer.Init(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    auto geometryType = draco::Decoder::GetEncodedGeometryType(&buffer);
    if (!geometryType.ok() || geometryType.value() != draco::TRIANGULAR_MESH) return std::nullopt;
    draco::Decoder decoder;
    auto decoded = decoder.DecodeMeshFromBuffer(&buffer);
    if (!decoded.ok() || !decoded.value()) return std::nullopt;
    const std::unique_ptr<draco::Mesh> mesh = std::move(decoded).value();

    const draco::PointAttribute* positions = mesh->GetAttributeByUniqueId(std::uint32_t(positionId));
    const std::size_t points = mesh->num_points(), faces = mesh->num_faces();
    if (!positions || positions->num_components() < 1) return std::nullopt;
    if (!positions->is_mapping_identity() && positions->indices_map_size() < points) return std::nullopt;
    if (!budget.take(points * 12 + faces * 12)) return std::nullopt;

    DecodedMesh out;
    out.positions.resize(points * 3);
    for (draco::PointIndex p(0); p < mesh->num_points(); ++p) {
        const draco::AttributeValueIndex value = positions->mapped_index(p);
        if (value.value() >= positions->size()) return std::nullopt;
        if (!positions->ConvertValue<float>(value, 3, &out.positions[std::size_t(p.value()) * 3])) return std::nullopt;
    }
    out.indices.reserve(faces * 3);
    for (draco::FaceIndex f(0); f < mesh->num_faces(); ++f)
        for (const draco::PointIndex& corner : mesh->face(f)) out.indices.push_back(corner.value());
    return out;
}

} // namespace trimeo::gltf
