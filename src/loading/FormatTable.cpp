#include "FormatTable.h"

#include "formats/alembic/AlembicReader.h"
#include "formats/gltf/GLTFParser.h"
#include "formats/obj/OBJReader.h"
#include "formats/ply/PLYReader.h"
#include "formats/stl/STLReader.h"
#include "formats/threemf/ThreeMFParser.h"
#include "formats/usd/UsdReader.h"

namespace trimeo {
namespace {

const std::vector<FormatRow> kFormats = {
    {{"stl"}, Route::modelIO, "public.standard-tesselated-geometry", "STL", "model/stl", true, readSTL},
    {{"3mf"}, Route::threeMF, "org.3mf.3mf", "3MF", "model/3mf", true, readThreeMF},
    {{"obj"}, Route::modelIO, "public.geometry-definition-format", "Wavefront OBJ", "model/obj", false, readOBJ},
    {{"ply"}, Route::modelIO, "public.polygon-file-format", "PLY", "application/x-ply", false, readPLY},
    {{"dae"}, Route::sceneKit, "org.khronos.collada.digital-asset-exchange", "COLLADA", "model/vnd.collada+xml"},
    {{"usdz"}, Route::modelIO, "com.pixar.universal-scene-description-mobile", "USDZ", "model/vnd.usdz+zip", false,
     usd::readUsd},
    {{"usd"}, Route::modelIO, "com.pixar.universal-scene-description", "USD", "model/x-usd", false, usd::readUsd},
    {{"usda"}, Route::modelIO, "com.pixar.universal-scene-description-ascii", "USD ASCII", "model/x-usda", false,
     usd::readUsd},
    {{"usdc"}, Route::modelIO, "com.pixar.universal-scene-description-binary", "USD binary", "model/x-usdc", false,
     usd::readUsd},
    {{"abc"}, Route::modelIO, "com.apple.alembic", "Alembic", "application/x-alembic", false, readAlembic},
    {{"vdb"}, Route::vdb, "org.openvdb.vdb", "OpenVDB", "application/x-vdb"},
    {{"gltf"}, Route::gltf, "org.khronos.gltf", "glTF", "model/gltf+json", false, readGLTF},
    {{"glb"}, Route::gltf, "org.khronos.glb", "glTF binary", "model/gltf-binary", false, readGLTF},
    {{"fbx"}, Route::fbx, "com.autodesk.fbx", "FBX", "application/vnd.autodesk.fbx"},
    // Scene archives belong to another platform: dispatched, so the user hears why, never offered.
    {{"scn"}, Route::sceneKit, "", "", ""},
};

} // namespace

std::span<const FormatRow> formatTable() { return kFormats; }

const FormatRow* formatFor(std::string_view extension) {
    for (const FormatRow& row : kFormats)
        for (std::string_view e : row.extensions)
            if (e == extension) return &row;
    return nullptr;
}

} // namespace trimeo
