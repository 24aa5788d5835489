#include "UsdFixtures.h"
#include "formats/usd/UsdReader.h"
#include "support/ReadBytes.h"

namespace trimeo::test {

const char* const kTwoMeshStage = R"(#usda 1.0
(
    defaultPrim = "World"
    upAxis = "Y"
)

def Xform "World"
{
    double3 xformOp:translate = (1, 2, 3)
    float xformOp:rotateY = 90
    uniform token[] xformOpOrder = ["xformOp:translate", "xformOp:rotateY"]

    def Mesh "Quad"
    {
        point3f[] points = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]
        int[] faceVertexCounts = [4]
        int[] faceVertexIndices = [0, 1, 2, 3]
        normal3f[] normals = [(0, 0, 1), (0, 0, 1), (0, 0, 1), (0, 0, 1)]
        uniform token subdivisionScheme = "none"
        color3f[] primvars:displayColor = [(1, 0, 0)]
    }

    def Scope "Parts"
    {
        def Mesh "Tri"
        {
            float3 xformOp:scale = (2, 2, 2)
            uniform token[] xformOpOrder = ["xformOp:scale"]
            point3f[] points = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]
            int[] faceVertexCounts = [3]
            int[] faceVertexIndices = [0, 1, 2]
        }
    }
}
)";

} // namespace trimeo::test

namespace trimeo::test {

const char* const kRichStage = R"(#usda 1.0
(
    upAxis = "Z"
    metersPerUnit = 0.01
)

class Xform "Proto" { }

def Xform "Root" (kind = "assembly")
{
    double3 xformOp:translate.timeSamples = { 0: (0, 0, 1), 24: (0, 0, 9) }
    quatf xformOp:orient = (0.9238795, 0, 0.3826834, 0)
    float3 xformOp:rotateXYZ = (10.5, -20, 30)
    half3 xformOp:scale = (0.5, 2, 1.5)
    uniform token[] xformOpOrder = ["xformOp:translate", "xformOp:orient", "xformOp:rotateXYZ", "xformOp:scale"]

    def Mesh "Fan"
    {
        uniform token orientation = "leftHanded"
        matrix4d xformOp:transform = ( (1, 0, 0, 0), (0, 0.5, 0, 0), (0, 0, 1, 0), (2.25, -3, 4.5, 1) )
        uniform token[] xformOpOrder = ["xformOp:transform"]
        point3f[] points = [(0, 0, 0), (1, 0, 0), (1.5, 0.75, 0), (0.5, 1.25, 0), (-0.25, 0.5, 0.125)]
        int[] faceVertexCounts = [5]
        int[] faceVertexIndices = [0, 1, 2, 3, 4]
        normal3f[] normals = [(0, 0, 1), (0, 0.1, 1), (0, 0.2, 1), (0, 0.3, 1), (0, 0.4, 1)] (
            interpolation = "faceVarying"
        )
        float[] widths = [0.5, 0.25, 0.5, 1.75]
        float[] creaseSharpnesses = [1, 2, 300, -4000]
        color3f[] primvars:displayColor = [(0.25, 0.5, 0.75)] (interpolation = "constant")
        float[] primvars:displayOpacity = [0.5]
        string note = "made by hand"
    }

    def Mesh "Scaled"
    {
        matrix4d xformOp:transform = ( (2, 0, 0, 0), (0, 3, 0, 0), (0, 0, -1, 0), (0, 0, 0, 1) )
        uniform token[] xformOpOrder = ["xformOp:transform"]
        point3f[] points = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0)]
        int[] faceVertexCounts = [3, 3]
        int[] faceVertexIndices = [0, 1, 2, 2, 1, 3]
    }

    over "Patched" { }
    def Material "Looks" { token outputs:surface = "none" }
}
)";

} // namespace trimeo::test

namespace trimeo::test {

const char* const kArcStage = R"(#usda 1.0
(
    defaultPrim = "A"
    metersPerUnit = 0.01
    subLayers = [@b.usda@, @sub/c.usda@]
)
def Xform "A" (
    prepend references = [@d.usdc@, @e.usdz@</A>, @missing.usda@, </B>]
    payload = @a.usda@</A/M>
    inherits = </_C>
    specializes = </B>
    variants = { string v = "x" }
    instanceable = true
)
{
    variantSet "v" = {
        "x" ( payload = @b.usda@ ) {
            def Mesh "M" {
                point3f[] points = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]
                int[] faceVertexCounts = [3]
                int[] faceVertexIndices = [0, 1, 2]
                rel material:binding = </Looks/Red>
            }
        }
        "y" { }
    }
    color3f inputs:c.connect = </Looks/Red.outputs:c>
}
class "_C" { double c = 1 }
def "B" ( references = @a.usda@  active = true ) { uniform token purpose = "render" }
def Scope "Looks" { def Material "Red" { } }
)";

UsdRead readUsd(std::span<const std::uint8_t> bytes, std::string extension) {
    try {
        ReaderResult read = *readBytes(usd::readUsd, bytes, std::move(extension));
        return {std::move(read.scene), read.count, {}};
    } catch (const LoaderError& e) {
        return {nullptr, 0, e.payload()};
    }
}

} // namespace trimeo::test
