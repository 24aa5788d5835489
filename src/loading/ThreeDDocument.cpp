#include "ThreeDDocument.h"

namespace trimeo {

std::vector<ContentType> ThreeDDocument::readableContentTypes() {
    return {
        {"public.standard-tesselated-geometry", "STL", {"stl"}, "model/stl"},
        {"org.3mf.3mf", "3MF", {"3mf"}, "model/3mf"},
        {"public.geometry-definition-format", "Wavefront OBJ", {"obj"}, "model/obj"},
        {"public.polygon-file-format", "PLY", {"ply"}, "application/x-ply"},
        {"org.khronos.collada.digital-asset-exchange", "COLLADA", {"dae"}, "model/vnd.collada+xml"},
        {"com.pixar.universal-scene-description-mobile", "USDZ", {"usdz"}, "model/vnd.usdz+zip"},
        {"com.pixar.universal-scene-description", "USD", {"usd"}, "model/x-usd"},
        {"com.pixar.universal-scene-description-ascii", "USD ASCII", {"usda"}, "model/x-usda"},
        {"com.pixar.universal-scene-description-binary", "USD binary", {"usdc"}, "model/x-usdc"},
        {"com.apple.alembic", "Alembic", {"abc"}, "application/x-alembic"},
        {"org.openvdb.vdb", "OpenVDB", {"vdb"}, "application/x-vdb"},
        {"org.khronos.gltf", "glTF", {"gltf"}, "model/gltf+json"},
        {"org.khronos.glb", "glTF binary", {"glb"}, "model/gltf-binary"},
        {"com.autodesk.fbx", "FBX", {"fbx"}, "application/vnd.autodesk.fbx"},
    };
}

} // namespace trimeo
