#include "HiddenFaces.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>
#include <system_error>

namespace trimeo {
namespace {

// A coordinate's bits with -0 folded into +0, so that equal coordinates hash alike.
std::uint32_t keyBits(float f) {
    if (f == 0.0f) f = 0.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// A well-spread 64-bit value per position.
std::uint64_t pointHash(const float* p) {
    std::uint64_t h = keyBits(p[0]) * 0x9e3779b97f4a7c15ull + keyBits(p[1]) * 0xc2b2ae3d27d4eb4full +
                      keyBits(p[2]) * 0x165667b19e3779f9ull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    return h ^ (h >> 32);
}

// For a triangle of corners hashed a, b, c: the sum over its edges u->v of u·k(v) - v·k(u).
// An edge and its reverse cancel, so a surface where every edge is matched sums to zero.
std::uint64_t unmatchedEdges(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    auto k = [](std::uint64_t x) { return std::rotl(x, 23) ^ 0x94d049bb133111ebull; };
    return a * (k(b) - k(c)) + b * (k(c) - k(a)) + c * (k(a) - k(b));
}

bool samePoint(const float* a, const float* b) {
    return keyBits(a[0]) == keyBits(b[0]) && keyBits(a[1]) == keyBits(b[1]) && keyBits(a[2]) == keyBits(b[2]);
}

// One of the box's faces (-x, +x, -y, +y, -z, +z): where it lies, the corner that first
// reached it and how far the triangles around that corner face out of the box. Every
// triangle around the corner comes at or after the one that set it, since it reaches the
// face too.
struct Face {
    float bound = INFINITY; // along the face's outward direction
    const float* corner = nullptr;
    double facing = 0;
};

struct Sums {
    std::uint64_t unmatched = 0;
    double volume = 0;
    std::array<Face, 6> faces{};

    // The second half's sums added to these, the first half's.
    void add(const Sums& later) {
        unmatched += later.unmatched;
        volume += later.volume;
        for (std::size_t k = 0; k < 6; ++k) {
            Face& f = faces[k];
            const Face& g = later.faces[k];
            if (g.bound < f.bound) f = g;
            else if (g.bound == f.bound && f.corner && g.corner && samePoint(f.corner, g.corner))
                f.facing += g.facing;
            else if (g.bound == f.bound)
                f.facing = 0; // two corners on the face, neither seen whole: no verdict
        }
    }
};

// Over the triangles from `first` to `last` (corner indices): the unmatched-edge sum, the
// signed volume (about `origin`, for precision far from the coordinates' zero) and the box's
// faces. Without a list (`triangles` null) corner i is vertex i.
Sums accumulate(const float* p, std::size_t stride, const std::uint32_t* triangles, std::size_t first,
                std::size_t last, const float* origin) {
    Sums sums;
    auto vertex = [&](std::size_t i) { return p + (triangles ? std::size_t(triangles[i]) : i) * stride; };
    for (std::size_t t = first; t < last; t += 3) {
        const float* corner[3] = {vertex(t), vertex(t + 1), vertex(t + 2)};
        const float *a = corner[0], *b = corner[1], *c = corner[2];
        sums.unmatched += unmatchedEdges(pointHash(a), pointHash(b), pointHash(c));
        const double ax = double(a[0]) - origin[0], ay = double(a[1]) - origin[1], az = double(a[2]) - origin[2];
        const double bx = double(b[0]) - origin[0], by = double(b[1]) - origin[1], bz = double(b[2]) - origin[2];
        const double cx = double(c[0]) - origin[0], cy = double(c[1]) - origin[1], cz = double(c[2]) - origin[2];
        sums.volume += ax * (by * cz - bz * cy) + ay * (bz * cx - bx * cz) + az * (bx * cy - by * cx);
        for (std::size_t k = 0; k < 6; ++k) {
            const std::size_t axis = k / 2;
            const float sign = k % 2 ? -1.0f : 1.0f; // bounds kept as minima: the +faces negated
            Face& face = sums.faces[k];
            int reaching = 0;
            for (int n = 1; n < 3; ++n)
                if (sign * corner[n][axis] < sign * corner[reaching][axis]) reaching = n;
            const float along = sign * corner[reaching][axis];
            if (along > face.bound || !(along <= face.bound)) continue;
            if (along < face.bound) {
                face = {along, corner[reaching], 0};
            } else if (!samePoint(a, face.corner) && !samePoint(b, face.corner) && !samePoint(c, face.corner)) {
                continue;
            }
            // The axis component of the triangle's area normal, outward for this face.
            const std::size_t i = (axis + 1) % 3, j = (axis + 2) % 3;
            const double normal =
                (double(b[i]) - a[i]) * (double(c[j]) - a[j]) - (double(b[j]) - a[j]) * (double(c[i]) - a[i]);
            face.facing += k % 2 ? normal : -normal;
        }
    }
    return sums;
}

// `part(first, last)` over [0, count), in two halves at once when the count is large; the
// second half's result added to the first's. Steps of `step` stay whole.
template <typename Part>
auto inHalves(std::size_t count, std::size_t step, Part part) {
    const std::size_t half = count > 1'000'000 ? count / (2 * step) * step : count;
    if (half == count) return part(std::size_t(0), count);
    std::future<decltype(part(std::size_t(0), count))> second;
    try {
        second = std::async(std::launch::async, part, half, count);
    } catch (const std::system_error&) { // no thread to be had: one pass instead
        return part(std::size_t(0), count);
    }
    auto result = part(std::size_t(0), half);
    result.add(second.get());
    return result;
}

} // namespace

namespace {

Enclosure enclosureOf(std::span<const float> positions, std::size_t stride, const std::uint32_t* triangles,
                      std::size_t corners) {
    Enclosure out;
    corners = corners / 3 * 3;
    if (stride < 3 || corners == 0) return out;
    const float* p = positions.data();

    // Large meshes are gone through in two halves at once.
    const float* origin = p + (triangles ? std::size_t(triangles[0]) : 0) * stride;
    const Sums sums = inHalves(corners, 3, [&](std::size_t first, std::size_t last) {
        return accumulate(p, stride, triangles, first, last, origin);
    });
    for (const Face& face : sums.faces)
        if (!std::isfinite(face.bound)) return out; // NaN or infinite coordinates
    out.box.add({sums.faces[0].bound, sums.faces[2].bound, sums.faces[4].bound});
    out.box.add({-sums.faces[1].bound, -sums.faces[3].bound, -sums.faces[5].bound});

    if (sums.unmatched != 0 || !std::isfinite(sums.volume)) return out;
    // A volume lost in rounding, e.g. a sheet drawn twice with opposite windings, says nothing.
    const scene::Vector3 size = out.box.max - out.box.min;
    const double scale = std::max({size.x, size.y, size.z});
    if (!(std::abs(sums.volume) > 1e-9 * scale * scale * scale)) return out;
    const bool outward = sums.volume > 0;
    for (const Face& face : sums.faces) // a shell wound the other way reaches the box
        if (face.facing != 0 && (face.facing > 0) != outward) return out;
    out.hidden = outward ? HiddenSide::back : HiddenSide::front;
    return out;
}

} // namespace

Enclosure findEnclosure(std::span<const float> positions, std::size_t stride, std::span<const std::uint32_t> triangles) {
    return enclosureOf(positions, stride, triangles.data(), triangles.size());
}

Enclosure findEnclosure(std::span<const float> positions, std::size_t stride, std::size_t sequentialCorners) {
    sequentialCorners = std::min(sequentialCorners, stride ? positions.size() / stride : 0);
    return enclosureOf(positions, stride, nullptr, sequentialCorners);
}

} // namespace trimeo
