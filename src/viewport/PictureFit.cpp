#include "PictureFit.h"

#include <algorithm>
#include <cmath>

namespace trimeo {

scene::Matrix4 fitProjection(const scene::Matrix4& projection, const scene::Matrix4& view,
                             const scene::BoundingBox& box, double fraction) {
    if (box.isEmpty() || !std::isfinite(box.min.x + box.min.y + box.min.z + box.max.x + box.max.y + box.max.z) ||
        !(fraction > 0 && fraction <= 1))
        return projection;
    const scene::Matrix4 toClip = projection * view;
    double left = INFINITY, right = -INFINITY, bottom = INFINITY, top = -INFINITY;
    for (int corner = 0; corner < 8; ++corner) {
        const scene::Vector3 p{corner & 1 ? box.max.x : box.min.x, corner & 2 ? box.max.y : box.min.y,
                               corner & 4 ? box.max.z : box.min.z};
        double clip[4];
        for (int row = 0; row < 4; ++row)
            clip[row] = toClip.at(row, 0) * p.x + toClip.at(row, 1) * p.y + toClip.at(row, 2) * p.z + toClip.at(row, 3);
        if (!(clip[3] > 1e-9)) return projection; // behind the eye: no zoom can show it
        const double x = clip[0] / clip[3], y = clip[1] / clip[3];
        left = std::min(left, x), right = std::max(right, x);
        bottom = std::min(bottom, y), top = std::max(top, y);
    }
    const double halfSpan = std::max(right - left, top - bottom) / 2;
    if (!(halfSpan > 1e-12)) return projection;
    // Scaling clip x and y scales the picture about its centre; subtracting a multiple of
    // clip w moves it, since w is what x and y are divided by.
    const double k = fraction / halfSpan;
    const double cx = (left + right) / 2, cy = (bottom + top) / 2;
    scene::Matrix4 zoom;
    zoom.at(0, 0) = k;
    zoom.at(1, 1) = k;
    zoom.at(0, 3) = -k * cx;
    zoom.at(1, 3) = -k * cy;
    return zoom * projection;
}

} // namespace trimeo
