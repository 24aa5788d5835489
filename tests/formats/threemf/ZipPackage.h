// Builds ZIP packages for the 3MF tests with libzip: ordinary files, directories, and the
// hostile entries an importer must survive (escaping names, symbolic links).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trimeo::test {

class ZipPackage {
public:
    ZipPackage& file(std::string name, std::string content, bool compressed = true);
    ZipPackage& directory(std::string name);
    // An entry whose mode marks a symbolic link to `target`, as Info-ZIP stores one; made on
    // the system `opsys` (3: Unix, 0: MS-DOS).
    ZipPackage& symlink(std::string name, std::string target, std::uint8_t opsys = 3);

    // The archive's bytes. Needs at least one entry.
    std::vector<std::uint8_t> bytes() const;

private:
    struct Entry {
        enum Kind { file, directory, symlink } kind;
        std::string name, content;
        bool compressed;
        std::uint8_t opsys = 3;
    };
    std::vector<Entry> entries_;
};

// A model part with one mesh element per entry of `meshes`; each mesh is the text that goes
// between <mesh> and </mesh>. `extra` is placed inside <resources> after the objects.
std::string modelXML(const std::vector<std::string>& meshes, const std::string& extra = "");

// A tetrahedron mesh body (four vertices, four triangles), shifted along x by `offset`.
std::string tetrahedronMesh(float offset = 0);

} // namespace trimeo::test
