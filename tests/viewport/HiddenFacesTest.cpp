// Which faces no outside eye can see: only closed, evenly wound surfaces hide a side, and a
// file whose shells disagree hides none.
#include "viewport/HiddenFaces.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace trimeo {
namespace {

struct Mesh {
    std::vector<float> positions;
    std::vector<std::uint32_t> triangles;

    HiddenSide hidden() const { return findEnclosure(positions, 3, triangles).hidden; }
    // Another shell: a cube of `size` at `origin`, wound outward or inward.
    void addCube(float size, float origin, bool outward) {
        static const std::uint32_t faces[] = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                                              2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
        const auto base = std::uint32_t(positions.size() / 3);
        for (int i = 0; i < 8; ++i)
            positions.insert(positions.end(), {origin + size * float(i & 1), origin + size * float((i >> 1) & 1),
                                               origin + size * float((i >> 2) & 1)});
        for (std::size_t k = 0; k < std::size(faces); k += 3)
            for (std::size_t c : {std::size_t(0), outward ? std::size_t(1) : std::size_t(2),
                                  outward ? std::size_t(2) : std::size_t(1)})
                triangles.push_back(base + faces[k + c]);
    }
    // STL's layout: every triangle with corners of its own, drawn in order.
    Mesh unshared() const {
        Mesh out;
        for (std::uint32_t v : triangles) {
            out.positions.insert(out.positions.end(), positions.begin() + v * 3, positions.begin() + v * 3 + 3);
            out.triangles.push_back(std::uint32_t(out.triangles.size()));
        }
        return out;
    }
};

Mesh cube(bool outward = true) {
    Mesh m;
    m.addCube(1, 0, outward);
    return m;
}

TEST(HiddenFaces, ClosedEvenlyWoundSurfacesHideTheirInwardSide) {
    const Enclosure e = findEnclosure(cube().positions, 3, cube().triangles);
    EXPECT_EQ(e.hidden, HiddenSide::back);
    EXPECT_EQ(e.box.min, scene::Vector3(0, 0, 0));
    EXPECT_EQ(e.box.max, scene::Vector3(1, 1, 1));
    EXPECT_EQ(cube(false).hidden(), HiddenSide::front); // wound clockwise, as some STL writers do

    // Unshared corners meet by position, -0 as 0.
    Mesh soup = cube().unshared();
    EXPECT_EQ(soup.hidden(), HiddenSide::back);
    for (float& f : soup.positions)
        if (f == 0) {
            f = -0.0f;
            break;
        }
    EXPECT_EQ(soup.hidden(), HiddenSide::back);

    // Far from the coordinates' zero, the volume keeps its sign.
    Mesh far = cube();
    for (std::size_t i = 0; i < far.positions.size(); i += 3) far.positions[i] += 1.0e5f;
    EXPECT_EQ(far.hidden(), HiddenSide::back);
}

TEST(HiddenFaces, OpenOrUnevenSurfacesHideNothing) {
    Mesh open = cube();
    open.triangles.resize(open.triangles.size() - 3); // one face half gone
    EXPECT_EQ(open.hidden(), HiddenSide::none);

    Mesh flipped = cube();
    std::swap(flipped.triangles[1], flipped.triangles[2]); // one triangle wound the other way
    EXPECT_EQ(flipped.hidden(), HiddenSide::none);

    // Closed in the edges' sense but enclosing nothing: a sheet drawn twice, both ways.
    Mesh sheet{{0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 1}};
    EXPECT_EQ(sheet.hidden(), HiddenSide::none);

    Mesh broken = cube();
    broken.positions[4] = NAN;
    EXPECT_EQ(broken.hidden(), HiddenSide::none);
    EXPECT_EQ(Mesh{}.hidden(), HiddenSide::none);
    EXPECT_TRUE(findEnclosure({}, 3, {}).box.isEmpty());
}

TEST(HiddenFaces, ShellsWoundOppositeWaysHideNothing) {
    Mesh agree = cube();
    agree.addCube(2, 3, true);
    EXPECT_EQ(agree.hidden(), HiddenSide::back);
    EXPECT_EQ(agree.unshared().hidden(), HiddenSide::back);

    // The larger, outward shell outweighs the volume; the inward one still reaches the box.
    Mesh mixed = cube(false);
    mixed.addCube(2, 3, true);
    EXPECT_EQ(mixed.hidden(), HiddenSide::none);
    EXPECT_EQ(mixed.unshared().hidden(), HiddenSide::none);
}

TEST(HiddenFaces, LargeMeshesAreJudgedWhole) {
    // A torus of 2 × 420 × 420 triangles: summed in parts, judged as one.
    const int n = 420;
    Mesh torus;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double u = 2 * M_PI * i / n, v = 2 * M_PI * j / n;
            torus.positions.insert(torus.positions.end(), {float((2 + std::cos(v)) * std::cos(u)),
                                                           float((2 + std::cos(v)) * std::sin(u)), float(std::sin(v))});
        }
    auto id = [n](int i, int j) { return std::uint32_t((i % n) * n + j % n); };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            torus.triangles.insert(torus.triangles.end(),
                                   {id(i, j), id(i + 1, j), id(i + 1, j + 1), id(i, j), id(i + 1, j + 1), id(i, j + 1)});
    EXPECT_EQ(torus.hidden(), HiddenSide::back);
    Mesh soup = torus.unshared();
    EXPECT_EQ(soup.hidden(), HiddenSide::back);
    soup.triangles.resize(soup.triangles.size() - 3); // a hole in the last part
    EXPECT_EQ(soup.hidden(), HiddenSide::none);
}

} // namespace
} // namespace trimeo
