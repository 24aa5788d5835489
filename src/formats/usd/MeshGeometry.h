// A Mesh prim's drawable geometry.
// - Faces are fans (faces of fewer than three corners and faces past the end of
//   faceVertexIndices are dropped, a negative index drops its face), winding reversed for
//   orientation "leftHanded". Points must be an array of 3-vectors; any other type (int[],
//   double[], a single point) is refused rather than drawn as garbage.
// - Normals ("primvars:normals" before "normals") and texture coordinates are read at every
//   interpolation (constant, uniform, vertex, varying, faceVarying), indexed through
//   ":indices" where given; corners are unshared when a value differs between the faces
//   sharing a point. Normals are ignored on subdivision surfaces (any subdivisionScheme
//   but "none", the schema's default being catmullClark), as the schema says.
// - Texture coordinates: the primvar the looks' textures read, else "primvars:st", else the
//   first texCoord2 primvar.
// - Skinned meshes stand in their bind pose: points through primvars:skel:geomBindTransform.
// - Each face takes the look of its materialBind GeomSubset, else the mesh's look, else
//   primvars:displayColor / displayOpacity (per face; vertex and face-varying colours are
//   averaged over the face). One element per distinct look or colour, up to
//   kMaxColourElements colours before they fold into one average. doubleSided carries over.
// Returns null when no triangle is left.
#pragma once

#include "PreviewMaterial.h"
#include "UsdStage.h"
#include "scene/Geometry.h"

#include <functional>
#include <memory>

namespace trimeo::usd {

inline constexpr std::size_t kMaxColourElements = 64;

struct MeshLooks {
    const Look* mesh = nullptr;                    // bound to the mesh or an ancestor
    std::function<const Look*(const Prim&)> bound; // bound directly to a prim (a subset)
};

std::shared_ptr<scene::Geometry> meshGeometry(const Prim& mesh, const MeshLooks& looks = {});

// Whether the attribute holds an array of 3-vectors by its type ("point3f[]", "normal3d[]",
// "float3[]"...); an untyped attribute counts when its numbers come in threes.
bool isVec3Array(const Attribute& attribute);

} // namespace trimeo::usd
