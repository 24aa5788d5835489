// The in-memory PLY reader: same meshes as the asset library on real files, all
// three encodings, polygon fans, files cut off anywhere, and what it leaves to
// the library.
#include "formats/ply/PLYReader.h"
#include "formats/assimp/AssetImport.h"
#include "formats/common/TemporaryFiles.h"
#include "scene/BoundingBox.h"
#include "support/TestFiles.h"
#include "support/ReadBytes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>

auto readPLY(std::span<const std::uint8_t> bytes) { return trimeo::test::readBytes(trimeo::readPLY, bytes, "ply"); }
using trimeo::test::bytes;

namespace {

const trimeo::scene::Geometry& geometryOf(const trimeo::ReaderResult& read) {
    return *read.scene->rootNode->childNodes().at(0)->geometry;
}

std::size_t triangles(const trimeo::ReaderResult& read) {
    std::size_t n = 0;
    read.scene->rootNode->enumerateChildNodes([&](const trimeo::scene::Node::Ptr& node) {
        if (node->geometry) n += node->geometry->validTriangleCount();
    });
    return n;
}

// One quad (0,0,0)-(2,0,0)-(2,1,0)-(0,1,0) with normals +z, plus a triangle, as
// a file of the given encoding; coordinates as doubles or floats, the face list
// counted in uchar, indices as int.
std::vector<std::uint8_t> quadFile(const std::string& format, bool doubles = true) {
    const std::string c = doubles ? "double" : "float";
    std::string header = "ply\nformat " + format + " 1.0\ncomment made by hand\nelement vertex 4\nproperty " + c +
                         " x\nproperty " + c + " y\nproperty " + c +
                         " z\nproperty float nx\nproperty float ny\nproperty float nz\n"
                         "property uchar quality\nelement face 2\nproperty list uchar int "
                         "vertex_indices\n"
                         "end_header\n";
    const double p[4][3] = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}};
    if (format == "ascii") {
        for (auto& v : p)
            header += std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]) + " 0 0 1 7\n";
        header += "4 0 1 2 3\n3 0 1 2";
        return bytes(header);
    }
    std::vector<std::uint8_t> out = bytes(header);
    const bool swap = (format == "binary_big_endian") == (std::endian::native == std::endian::little);
    auto put = [&](const void* value, std::size_t n) {
        std::uint8_t b[8];
        std::memcpy(b, value, n);
        if (swap)
            for (std::size_t i = 0; i < n / 2; ++i) std::swap(b[i], b[n - 1 - i]);
        out.insert(out.end(), b, b + n);
    };
    for (auto& v : p) {
        for (double c : v) {
            const float f = float(c);
            doubles ? put(&c, 8) : put(&f, 4);
        }
        for (float n : {0.0f, 0.0f, 1.0f}) put(&n, 4);
        out.push_back(7);
    }
    for (const std::vector<int>& face : {std::vector<int>{0, 1, 2, 3}, std::vector<int>{0, 1, 2}}) {
        out.push_back(std::uint8_t(face.size()));
        for (int i : face) put(&i, 4);
    }
    return out;
}

} // namespace

TEST(PLYReader, EveryEncodingGivesTheSameMeshWithPolygonsAsFans) {
    for (const char* format : {"ascii", "binary_little_endian", "binary_big_endian", "float"}) {
        SCOPED_TRACE(format);
        const bool floats = std::string(format) == "float"; // the layout read in place
        const auto read = readPLY(floats ? quadFile("binary_little_endian", false) : quadFile(format));
        ASSERT_TRUE(read);
        ASSERT_EQ(read->count, 1u);
        const auto& g = geometryOf(*read);
        EXPECT_EQ(g.sources.at(0).data, (std::vector<float>{0, 0, 0, 2, 0, 0, 2, 1, 0, 0, 1, 0}));
        const auto* normals = g.source(trimeo::scene::Semantic::normal);
        ASSERT_NE(normals, nullptr);
        EXPECT_EQ(normals->data, (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}));
        EXPECT_EQ(g.elements.at(0).indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 0, 1, 2}));
    }
}

TEST(PLYReader, FileCutOffAnywhereHoldsNothingAndHugeCountsReserveNothing) {
    for (const bool doubles : {true, false}) {
        const std::vector<std::uint8_t> whole = quadFile("binary_little_endian", doubles);
        const std::size_t body = std::string(whole.begin(), whole.end()).find("end_header\n") + 11;
        for (std::size_t n = 0; n < whole.size(); ++n) {
            if (n < 3) { // no magic word: refused here, as the asset library would refuse it
                EXPECT_THROW(readPLY(std::span(whole).first(n)), trimeo::LoaderError) << n;
                continue;
            }
            const auto read = readPLY(std::span(whole).first(n));
            if (n + 1 != body) { // cut in the header or the body: nothing, never the asset library
                ASSERT_TRUE(read) << n;
                EXPECT_EQ(read->count, 0u) << n;
            }
        }
    }
    // Counts near the integer limits with a few bytes of body: refused before any reservation.
    for (const char* count : {"4000000000", "18446744073709551615"}) {
        const auto read = readPLY(bytes(std::string("ply\nformat binary_little_endian 1.0\nelement vertex ") + count +
                                        "\nproperty float x\nproperty float y\nproperty float z\nend_header\n"
                                        "0123456789ab"));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->count, 0u);
    }
    const auto list = readPLY(bytes("ply\nformat binary_little_endian 1.0\nelement vertex 0\n"
                                    "property float x\nproperty float y\nproperty float z\nelement face 1\n"
                                    "property list uint int vertex_indices\nend_header\n\xff\xff\xff\x7f"));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count, 0u);
}

TEST(PLYReader, LeavesTexturedAndUnusualFilesToTheAssetLibrary) {
    const std::string start = "ply\nformat ascii 1.0\n";
    const std::string vertex = "element vertex 3\nproperty float x\nproperty "
                               "float y\nproperty float z\n";
    const std::string face = "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 "
                             "0\n1 0 0\n0 1 0\n3 0 1 2\n";
    EXPECT_TRUE(readPLY(bytes(start + vertex + face)));
    EXPECT_FALSE(readPLY(bytes(start + "comment TextureFile wood.png\n" + vertex + face)));
    EXPECT_FALSE(readPLY(bytes(start + vertex + "property float s\nproperty float t\n" + face)));
    EXPECT_FALSE(readPLY(bytes("ply\nformat binary_middle_endian 1.0\n" + vertex + face)));
    EXPECT_FALSE(readPLY(bytes(start + "element vertex 3\nproperty float x\nproperty float y\n" + face)));
    EXPECT_THROW(readPLY(bytes("solid x\nendsolid x\n")), trimeo::LoaderError);
    // Points only, as scanners write them before meshing: read, but nothing to
    // draw.
    const auto points = readPLY(bytes(start + "element vertex 1\nproperty float x\nproperty float y\n"
                                              "property float z\nend_header\n1 2 3\n"));
    ASSERT_TRUE(points);
    EXPECT_EQ(points->count, 0u);
}

TEST(PLYReader, RealFilesReadAsTheAssetLibraryReadsThem) {
    const auto dir = trimeo::test::assimpModels() / "PLY";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "assimp-testmodels not installed";
    int taken = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".ply") continue;
        SCOPED_TRACE(entry.path().string());
        const auto data = trimeo::test::readFile(entry.path());
        const auto own = readPLY(data);
        if (!own) continue; // left to the library
        ++taken;
        trimeo::TemporaryFile copy("ply");
        copy.write(data);
        trimeo::ReaderResult library; // nothing read counts as no geometry
        try {
            library = trimeo::readAssetFile(copy.path(), false);
        } catch (const trimeo::AssetLibraryError&) {
        }
        EXPECT_EQ(own->count > 0, library.count > 0);
        if (own->count == 0 || library.count == 0) continue;
        EXPECT_EQ(triangles(*own), triangles(library));
        const auto a = own->scene->rootNode->boundingBox(), b = library.scene->rootNode->boundingBox();
        EXPECT_NEAR(a.min.x, b.min.x, 1e-5);
        EXPECT_NEAR(a.max.y, b.max.y, 1e-5);
        EXPECT_NEAR(a.max.z, b.max.z, 1e-5);
    }
    EXPECT_GE(taken, 4);
}
