#include "UsdFixtures.h"

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
