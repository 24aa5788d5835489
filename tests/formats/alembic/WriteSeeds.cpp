// Writes a few small archives for the Alembic fuzzer to start from.
#include "AlembicWriter.h"

#include <fstream>
#include <iostream>

using namespace trimeo::test::abc;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: alembic_write_seeds <folder>\n";
        return 2;
    }
    const std::vector<float> quad{0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0};
    const std::vector<float> normals(12, 1.f);
    const std::pair<const char*, Bytes> seeds[] = {
        {"quad.abc", writeArchive({polyMesh("quad", quad, {4}, {0, 1, 2, 3})})},
        {"normals_indexed.abc", writeArchive({polyMesh("n", quad, {4}, {0, 1, 2, 3}, normals)}, {true})},
        {"xform_tree.abc",
         writeArchive({xform("root", {translateOp, rotateOp, scaleOp}, {1, 2, 3, 0, 1, 0, 45, 2, 2, 2},
                             {xform("inner", {matrixOp}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1},
                                    {polyMesh("tri", quad, {3, 3}, {0, 1, 2, 2, 3, 0})})})})},
        {"subd_instances_hidden.abc",
         writeArchive({xform("a", {translateOp}, {1, 0, 0}, {subD("cage", quad, {4}, {0, 1, 2, 3})}),
                       xform("b", {translateOp}, {4, 0, 0}, {instance("copy", "/a"), instance("deep", "/b/copy/cage")}),
                       visible(polyMesh("hidden", quad, {4}, {0, 1, 2, 3}), 0)},
                      {true})},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) return 1;
    }
    return 0;
}
