#include "Box.h"

namespace trimeo::scene {

std::shared_ptr<Geometry> makeBox(double width, double height, double length, double /*chamferRadius*/) {
    const float hx = float(width / 2), hy = float(height / 2), hz = float(length / 2);
    // One quad per face with its own normal so that edges stay sharp.
    struct Face { float n[3]; float u[3]; float v[3]; };
    static constexpr Face faces[6] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    std::vector<float> pos, nrm, uv;
    std::vector<std::uint32_t> idx;
    const float h[3] = {hx, hy, hz};
    for (const Face& f : faces) {
        const auto base = static_cast<std::uint32_t>(pos.size() / 3);
        for (int corner = 0; corner < 4; ++corner) {
            const float su = (corner == 1 || corner == 2) ? 1.f : -1.f;
            const float sv = (corner >= 2) ? 1.f : -1.f;
            for (int c = 0; c < 3; ++c) {
                pos.push_back((f.n[c] + f.u[c] * su + f.v[c] * sv) * h[c]);
                nrm.push_back(f.n[c]);
            }
            uv.push_back(su * 0.5f + 0.5f);
            uv.push_back(0.5f - sv * 0.5f);
        }
        idx.insert(idx.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
    auto g = std::make_shared<Geometry>(
        std::vector<GeometrySource>{GeometrySource::vertices(std::move(pos)), GeometrySource::normals(std::move(nrm)),
                                    GeometrySource::texcoords(std::move(uv))},
        std::vector<GeometryElement>{GeometryElement{std::move(idx)}});
    g->materials.emplace_back();
    return g;
}

} // namespace trimeo::scene
