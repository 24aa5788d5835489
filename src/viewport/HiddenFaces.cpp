#include "HiddenFaces.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>

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

struct Sums {
    std::uint64_t unmatched = 0;
    double volume = 0;
    std::array<double, 6> facing{};
};

// The box's bounds per axis and, on each of its faces (-x, +x, -y, +y, -z, +z), one corner.
struct Bounds {
    float low[3], high[3];
    std::array<const float*, 6> extreme;
};

// Over the triangles from `first` to `last` (corner indices): the unmatched-edge sum, the
// signed volume (about `origin`, for precision far from the coordinates' zero) and how far
// the triangles around each face's corner face out of the box.
Sums accumulate(const float* p, std::size_t stride, std::span<const std::uint32_t> triangles, std::size_t first,
                std::size_t last, const float* origin, const Bounds& bounds) {
    Sums sums;
    for (std::size_t t = first; t < last; t += 3) {
        const float* a = p + std::size_t(triangles[t]) * stride;
        const float* b = p + std::size_t(triangles[t + 1]) * stride;
        const float* c = p + std::size_t(triangles[t + 2]) * stride;
        sums.unmatched += unmatchedEdges(pointHash(a), pointHash(b), pointHash(c));
        const double ax = double(a[0]) - origin[0], ay = double(a[1]) - origin[1], az = double(a[2]) - origin[2];
        const double bx = double(b[0]) - origin[0], by = double(b[1]) - origin[1], bz = double(b[2]) - origin[2];
        const double cx = double(c[0]) - origin[0], cy = double(c[1]) - origin[1], cz = double(c[2]) - origin[2];
        sums.volume += ax * (by * cz - bz * cy) + ay * (bz * cx - bx * cz) + az * (bx * cy - by * cx);
        for (int axis = 0; axis < 3; ++axis) {
            for (int side = 0; side < 2; ++side) {
                const float bound = side ? bounds.high[axis] : bounds.low[axis];
                if (!((a[axis] == bound) | (b[axis] == bound) | (c[axis] == bound))) continue;
                const float* e = bounds.extreme[std::size_t(axis) * 2 + std::size_t(side)];
                if (!samePoint(a, e) && !samePoint(b, e) && !samePoint(c, e)) continue;
                // The axis component of the triangle's area normal.
                const int i = (axis + 1) % 3, j = (axis + 2) % 3;
                const double normal =
                    (double(b[i]) - a[i]) * (double(c[j]) - a[j]) - (double(b[j]) - a[j]) * (double(c[i]) - a[i]);
                sums.facing[std::size_t(axis) * 2 + std::size_t(side)] += side ? normal : -normal;
            }
        }
    }
    return sums;
}

} // namespace

Enclosure findEnclosure(std::span<const float> positions, std::size_t stride, std::span<const std::uint32_t> triangles) {
    Enclosure out;
    const std::size_t corners = triangles.size() / 3 * 3;
    if (stride < 3 || corners == 0) return out;
    const float* p = positions.data();
    const std::size_t vertexCount = positions.size() / stride;

    // The box (NaN coordinates drop out here and spoil the volume below), then a corner on
    // each of its faces.
    Bounds bounds{{INFINITY, INFINITY, INFINITY}, {-INFINITY, -INFINITY, -INFINITY}, {}};
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const float* q = p + v * stride;
        for (int axis = 0; axis < 3; ++axis) {
            bounds.low[axis] = std::min(bounds.low[axis], q[axis]);
            bounds.high[axis] = std::max(bounds.high[axis], q[axis]);
        }
    }
    for (int axis = 0; axis < 3; ++axis)
        if (!std::isfinite(bounds.low[axis]) || !std::isfinite(bounds.high[axis])) return out;
    out.box.add({bounds.low[0], bounds.low[1], bounds.low[2]});
    out.box.add({bounds.high[0], bounds.high[1], bounds.high[2]});
    std::size_t found = 0;
    for (std::size_t v = 0; v < vertexCount && found < 6; ++v) {
        const float* q = p + v * stride;
        for (std::size_t k = 0; k < 6; ++k) {
            const float bound = k % 2 ? bounds.high[k / 2] : bounds.low[k / 2];
            if (!bounds.extreme[k] && q[k / 2] == bound) bounds.extreme[k] = q, ++found;
        }
    }

    // Large meshes are summed in two halves at once: the sums add up.
    const float* origin = p + std::size_t(triangles[0]) * stride;
    const std::size_t half = corners > 600000 ? corners / 6 * 3 : corners;
    std::future<Sums> second;
    if (half < corners)
        second = std::async(std::launch::async, accumulate, p, stride, triangles, half, corners, origin, std::cref(bounds));
    Sums sums = accumulate(p, stride, triangles, 0, half, origin, bounds);
    if (second.valid()) {
        const Sums more = second.get();
        sums.unmatched += more.unmatched;
        sums.volume += more.volume;
        for (std::size_t k = 0; k < 6; ++k) sums.facing[k] += more.facing[k];
    }

    if (sums.unmatched != 0 || !std::isfinite(sums.volume)) return out;
    // A volume lost in rounding, e.g. a sheet drawn twice with opposite windings, says nothing.
    const scene::Vector3 size = out.box.max - out.box.min;
    const double scale = std::max({size.x, size.y, size.z});
    if (!(std::abs(sums.volume) > 1e-9 * scale * scale * scale)) return out;
    const bool outward = sums.volume > 0;
    for (double f : sums.facing)
        if (f != 0 && (f > 0) != outward) return out; // a shell wound the other way reaches the box
    out.hidden = outward ? HiddenSide::back : HiddenSide::front;
    return out;
}

} // namespace trimeo
