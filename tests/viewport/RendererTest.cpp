// What a person would see in rendered frames: framed model on its floor, wireframe,
// culling and double-sidedness, blending order, textures, out-of-range indices.
#include "GLTestEnvironment.h"
#include "support/MeshFiles.h"
#include "support/TestFiles.h"
#include "viewport/LoadPipeline.h"
#include "viewport/ModelPresentation.h"
#include "viewport/OffscreenRenderer.h"

#include "scene/Box.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace trimeo {
namespace {

using scene::Node;
using scene::Vector3;

const scene::Color kBackground{0.94f, 0.94f, 0.94f, 1};
const QColor kBackgroundPixel = QColor::fromRgbF(0.94f, 0.94f, 0.94f);

// Lives from the first test to the end of the suite: its GL context must go before the
// QApplication does.
std::unique_ptr<OffscreenRenderer> gRenderer;

OffscreenRenderer& renderer() {
    if (!gRenderer) gRenderer = std::make_unique<OffscreenRenderer>();
    return *gRenderer;
}

class Renderer : public testing::Test {
protected:
    static void TearDownTestSuite() { gRenderer.reset(); }
};

QImage render(std::shared_ptr<const scene::Scene> s, const std::string& name, QSize size = {320, 240}) {
    QImage image = renderer().render(std::move(s), size, kBackground);
    test::saveForInspection(image, name);
    return image;
}

std::shared_ptr<scene::Scene> presentFile(const std::filesystem::path& file) {
    auto outcome = loadAndPresent(test::readFile(file), file);
    if (auto* failure = std::get_if<LoadFailure>(&outcome)) ADD_FAILURE() << failure->description;
    return std::get<PresentedModel>(outcome).scene;
}

// A 2 x 2 square in the xy plane facing +z (counter-clockwise seen from +z).
std::shared_ptr<scene::Geometry> square(std::vector<std::uint32_t> indices = {0, 1, 2, 0, 2, 3}) {
    auto g = std::make_shared<scene::Geometry>(
        std::vector<scene::GeometrySource>{
            scene::GeometrySource::vertices(std::vector<float>{-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}),
            scene::GeometrySource::texcoords({0, 0, 1, 0, 1, 1, 0, 1})},
        std::vector<scene::GeometryElement>{scene::GeometryElement{std::move(indices)}});
    return g;
}

scene::Material flat(scene::Color c, bool doubleSided = false) {
    scene::Material m;
    m.diffuse.contents = c;
    m.isDoubleSided = doubleSided;
    return m;
}

// A scene with a camera on the z axis at `cameraZ` looking at the origin.
std::shared_ptr<scene::Scene> sceneSeenFrom(double cameraZ, std::vector<Node::Ptr> nodes) {
    auto s = std::make_shared<scene::Scene>();
    for (auto& n : nodes) s->rootNode->addChildNode(n);
    auto cam = Node::make();
    cam->camera = scene::Camera{};
    cam->position = Vector3(0.0, 0.0, cameraZ);
    cam->lookAt(Vector3(0, 0, 0));
    s->rootNode->addChildNode(cam);
    return s;
}

QColor centre(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }

TEST_F(Renderer, FramedModelStandsGreyOnItsFloorOverTheBackground) {
    TRIMEO_REQUIRE_GL();
    auto presented = presentFile(test::assimpModels() / "OBJ" / "box.obj");
    QImage image = render(presented, "renderer-box");
    ASSERT_FALSE(image.isNull());
    for (QPoint corner : {QPoint(0, 0), QPoint(319, 0)})
        EXPECT_LE(test::colourDistance(image.pixelColor(corner), kBackgroundPixel), 1) << corner.x();
    const QColor c = centre(image);
    EXPECT_LE(std::abs(c.red() - c.blue()), 12); // grey, not tinted
    EXPECT_GT(test::colourDistance(c, kBackgroundPixel), 40);

    // The floor: take it away and the lower part of the frame loses its lines.
    auto floorless = presentFile(test::assimpModels() / "OBJ" / "box.obj");
    floorless->rootNode->childNodes()[1]->removeFromParentNode();
    QImage without = render(floorless, "renderer-box-floorless");
    const QRect lowerBand(0, 200, 320, 40);
    EXPECT_EQ(test::pixelsDifferingFrom(without, kBackgroundPixel, 1, lowerBand), 0);
    EXPECT_GT(test::pixelsDifferingFrom(image, kBackgroundPixel, 1, lowerBand), 200);
}

TEST_F(Renderer, WireframeLightsFarFewerPixelsThanFill) {
    TRIMEO_REQUIRE_GL();
    auto presented = presentFile(test::assimpModels() / "PLY" / "cube.ply");
    presented->rootNode->childNodes()[1]->removeFromParentNode(); // count the model alone
    const int filled = test::pixelsDifferingFrom(render(presented, "renderer-fill"), kBackgroundPixel, 8);
    renderer().setWireframe(true);
    const int lines = test::pixelsDifferingFrom(render(presented, "renderer-wireframe"), kBackgroundPixel, 8);
    renderer().setWireframe(false); // the renderer is shared by the other cases
    EXPECT_GT(filled, 5000);
    EXPECT_GT(lines, 100); // the edges are drawn
    EXPECT_LT(lines * 4, filled);
}

// A white model is not washed out: its faces run from clearly shaded to bright, and even
// the brightest stay apart from a light background.
TEST_F(Renderer, WhiteModelKeepsARangeOfShadesBelowTheBackground) {
    TRIMEO_REQUIRE_GL();
    for (const char* file : {"PLY/Wuson.ply", "FBX/spider.fbx"}) {
        auto presented = presentFile(test::assimpModels() / file);
        presented->rootNode->childNodes()[1]->removeFromParentNode(); // the model alone
        const QImage image = render(presented, std::string("renderer-white-") + (file + 4), {640, 480});
        std::vector<int> shades;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (test::colourDistance(image.pixelColor(x, y), kBackgroundPixel) > 8)
                    shades.push_back(qGray(image.pixel(x, y)));
        ASSERT_GT(shades.size(), 2000u) << file;
        std::sort(shades.begin(), shades.end());
        auto at = [&](double share) { return shades[std::size_t(share * double(shades.size() - 1))]; };
        EXPECT_GT(at(0.9) - at(0.1), 60) << file;                   // shaded to lit
        EXPECT_LT(at(0.98), qGray(kBackgroundPixel.rgb()) - 12) << file; // brightest still apart
    }
}

TEST_F(Renderer, BackFacesAreCulledUnlessDoubleSided) {
    TRIMEO_REQUIRE_GL();
    for (bool doubleSided : {false, true}) {
        auto g = square();
        g->materials = {flat({0.8f, 0.2f, 0.2f, 1}, doubleSided)};
        QImage front = render(sceneSeenFrom(4, {Node::make(g)}), "renderer-square-front");
        QImage back = render(sceneSeenFrom(-4, {Node::make(g)}), doubleSided ? "renderer-double-back"
                                                                              : "renderer-single-back");
        EXPECT_GT(centre(front).red(), centre(front).blue() + 40) << doubleSided;
        if (doubleSided) {
            EXPECT_GT(centre(back).red(), centre(back).blue() + 40); // lit from the side we see
            EXPECT_GT(test::colourDistance(centre(back), kBackgroundPixel), 40);
        } else {
            EXPECT_LE(test::colourDistance(centre(back), kBackgroundPixel), 1);
        }
    }
}

// A closed double-sided box skips its hidden side: from outside, with the near plane cutting
// into it and from within, it looks like the same box left open by a stray zero-area
// triangle, wound either way, and so does one whose front is glass, where the inside shows.
// Only a sample lying exactly on the outline may change hands.
TEST_F(Renderer, ClosedDoubleSidedSurfacesLookAsIfEveryFaceWereDrawn) {
    TRIMEO_REQUIRE_GL();
    auto box = [](bool outward, bool open, bool turned, bool glassFront) {
        static const std::uint32_t faces[] = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                                              2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
        std::vector<float> p;
        for (int i = 0; i < 8; ++i) p.insert(p.end(), {i & 1 ? 2.f : -2.f, i & 2 ? 2.f : -2.f, i & 4 ? 2.f : -2.f});
        std::vector<std::uint32_t> walls, front; // front: the +z face
        for (std::size_t k = 0; k < std::size(faces); k += 3) {
            std::vector<std::uint32_t>& list = k == 6 || k == 9 ? front : walls;
            list.insert(list.end(), {faces[k], faces[k + (outward ? 1 : 2)], faces[k + (outward ? 2 : 1)]});
        }
        if (open) {
            p.insert(p.end(), {0, 0, 0, 0.5f, 0, 0, 1, 0, 0});
            walls.insert(walls.end(), {8, 9, 10});
        }
        auto g = std::make_shared<scene::Geometry>(std::vector<scene::GeometrySource>{scene::GeometrySource::vertices(p)},
                                                   std::vector<scene::GeometryElement>{{walls}, {front}});
        g->materials = {flat({0.3f, 0.6f, 0.9f, 1}, true), flat({0.3f, 0.6f, 0.9f, glassFront ? 0.4f : 1}, true)};
        auto node = Node::make(g);
        if (turned) node->setEulerAngles(Vector3(0.4, 0.5, 0)); // three faces in sight
        return node;
    };
    struct View {
        double cameraZ; // outside, near plane inside the box, within
        bool turned, glass;
    };
    for (bool outward : {true, false})
        for (View v : {View{9, true, false}, View{2.5, false, false}, View{0.5, false, false}, View{9, false, true}}) {
            const std::string name = "renderer-closed-" + std::to_string(int(v.cameraZ * 10)) +
                                     (v.glass ? "-glass" : "") + (outward ? "" : "-inward");
            const QImage closed = render(sceneSeenFrom(v.cameraZ, {box(outward, false, v.turned, v.glass)}), name);
            const QImage open = render(sceneSeenFrom(v.cameraZ, {box(outward, true, v.turned, v.glass)}), name + "-open");
            EXPECT_GT(test::colourDistance(centre(closed), kBackgroundPixel), 40) << name;
            ASSERT_EQ(closed.size(), open.size());
            int changed = 0, largest = 0;
            for (int y = 0; y < closed.height(); ++y)
                for (int x = 0; x < closed.width(); ++x)
                    if (const int d = test::colourDistance(closed.pixelColor(x, y), open.pixelColor(x, y)); d > 0)
                        ++changed, largest = std::max(largest, d);
            EXPECT_LE(changed, 4) << name;
            EXPECT_LE(largest, 24) << name;
        }
}

TEST_F(Renderer, InvertedOrZeroNormalsAreLitLikeCorrectOnes) {
    TRIMEO_REQUIRE_GL();
    auto lit = [&](float nz, const std::string& name) {
        auto g = square();
        g->sources.push_back(scene::GeometrySource::normals({0, 0, nz, 0, 0, nz, 0, 0, nz, 0, 0, nz}));
        g->materials = {flat({0.6f, 0.6f, 0.6f, 1}, true)};
        return centre(render(sceneSeenFrom(4, {Node::make(g)}), name)).red();
    };
    const int right = lit(1, "renderer-normals-out"), inverted = lit(-1, "renderer-normals-in");
    EXPECT_GT(right, 100); // lit, not in shadow
    EXPECT_NEAR(inverted, right, 2);
    EXPECT_NEAR(lit(0, "renderer-normals-zero"), right, 2); // zero normals, as many STL files have
}

TEST_F(Renderer, MeshWithoutNormalsIsLitAsIfItHadItsFacesNormals) {
    TRIMEO_REQUIRE_GL();
    // A square tilted 40 degrees towards the floor, so that its shade depends on its normal:
    // once with normals, once with shared vertices and none (computed), once as STL lays it
    // out, every corner its own vertex (lit by the triangles' planes).
    const float c = std::cos(0.698f), s = std::sin(0.698f);
    const std::vector<float> corners{-1, -c, -s, 1, -c, -s, 1, c, s, -1, c, s};
    auto tilted = [&](std::vector<float> positions, std::vector<std::uint32_t> indices, bool withNormals) {
        std::vector<scene::GeometrySource> sources{scene::GeometrySource::vertices(positions)};
        if (withNormals) {
            std::vector<float> n;
            for (std::size_t v = 0; v < positions.size() / 3; ++v) n.insert(n.end(), {0, -s, c});
            sources.push_back(scene::GeometrySource::normals(std::move(n)));
        }
        auto g = std::make_shared<scene::Geometry>(std::move(sources),
                                                   std::vector<scene::GeometryElement>{{std::move(indices)}});
        g->materials = {flat({0.6f, 0.6f, 0.6f, 1})};
        return g;
    };
    std::vector<float> unshared;
    for (std::uint32_t v : {0, 1, 2, 0, 2, 3}) unshared.insert(unshared.end(), &corners[v * 3], &corners[v * 3 + 3]);
    const QColor withNormals = centre(render(sceneSeenFrom(4, {Node::make(tilted(corners, {0, 1, 2, 0, 2, 3}, true))}),
                                             "renderer-tilted-normals"));
    const QColor computed = centre(render(sceneSeenFrom(4, {Node::make(tilted(corners, {0, 1, 2, 0, 2, 3}, false))}),
                                          "renderer-tilted-computed"));
    const QColor planes = centre(render(sceneSeenFrom(4, {Node::make(tilted(unshared, {0, 1, 2, 3, 4, 5}, false))}),
                                        "renderer-tilted-unshared"));
    EXPECT_LE(test::colourDistance(computed, withNormals), 3);
    EXPECT_LE(test::colourDistance(planes, withNormals), 3);
    EXPECT_LT(withNormals.red(), 200); // tilted: not lit head-on

    // The same corners with no index list at all draw the very same picture, and a count
    // past the vertices draws only the triangles that exist.
    const QImage listed = render(sceneSeenFrom(4, {Node::make(tilted(unshared, {0, 1, 2, 3, 4, 5}, false))}),
                                 "renderer-tilted-listed");
    for (std::size_t corners : {6, 11}) {
        auto sequential = tilted(unshared, {}, false);
        sequential->elements = {scene::GeometryElement::sequential(corners)};
        const QImage drawn = render(sceneSeenFrom(4, {Node::make(sequential)}), "renderer-tilted-sequential");
        EXPECT_EQ(drawn, listed) << corners;
    }
}

TEST_F(Renderer, EdgesAreSmoothedWhicheverWayTheFrameIsAntialiased) {
    TRIMEO_REQUIRE_GL();
    // A dark square turned 30 degrees: its slanted edges cross pixels partly, which either
    // way of antialiasing shows as shades between the square and the background.
    auto g = square();
    g->materials = {flat({0.1f, 0.1f, 0.1f, 1}, true)};
    auto node = Node::make(g);
    node->setEulerAngles(Vector3(0.0, 0.0, 0.52));
    auto shades = [](const QImage& image) {
        int between = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const int r = image.pixelColor(x, y).red();
                between += r > 60 && r < 200;
            }
        return between;
    };
    std::vector<QImage> images;
    for (auto mode : {gl::AntialiasedTarget::Mode::multisampled, gl::AntialiasedTarget::Mode::supersampled}) {
        OffscreenRenderer own(mode);
        ASSERT_TRUE(own.isValid()) << own.error();
        EXPECT_EQ(own.antialiasing(), mode);
        images.push_back(own.render(sceneSeenFrom(4, {node}), {320, 240}, kBackground));
        test::saveForInspection(images.back(), mode == gl::AntialiasedTarget::Mode::multisampled
                                                   ? "renderer-edges-multisampled"
                                                   : "renderer-edges-supersampled");
    }
    // Four edges of about 100 pixels each: an aliased frame has next to no shades between.
    EXPECT_GT(shades(images[0]), 150);
    EXPECT_GT(shades(images[1]), 150);
    EXPECT_LT(test::pixelsDifferingBetween(images[0], images[1], 60), 40); // the same picture either way
}

TEST_F(Renderer, SoftwareDriversAreSupersampledAndHardwareMultisampled) {
    using Mode = gl::AntialiasedTarget::Mode;
    EXPECT_EQ(gl::AntialiasedTarget::modeForRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"), Mode::supersampled);
    EXPECT_EQ(gl::AntialiasedTarget::modeForRenderer("Software Rasterizer"), Mode::supersampled);
    EXPECT_EQ(gl::AntialiasedTarget::modeForRenderer("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)"),
              Mode::multisampled);
    EXPECT_EQ(gl::AntialiasedTarget::modeForRenderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"), Mode::multisampled);
}

TEST_F(Renderer, MirroringTransformKeepsTheFrontFaceVisible) {
    TRIMEO_REQUIRE_GL();
    auto g = square();
    g->materials = {flat({0.2f, 0.7f, 0.2f, 1})};
    auto mirrored = Node::make(g);
    mirrored->scale = Vector3(-1, 1, 1); // flips the winding, not the facing
    QImage image = render(sceneSeenFrom(4, {mirrored}), "renderer-mirrored");
    EXPECT_GT(centre(image).green(), centre(image).red() + 40);
}

TEST_F(Renderer, TranslucentSurfaceBlendsOverOpaqueOneWhateverTheNodeOrder) {
    TRIMEO_REQUIRE_GL();
    auto glass = square();
    glass->materials = {flat({1, 0, 0, 0.5f})};
    auto wall = square();
    wall->materials = {flat({0, 0, 1, 1})};
    auto near = Node::make(glass);
    near->position = Vector3(0.0, 0.0, 1.0);
    auto far = Node::make(wall);
    far->scale = Vector3(3, 3, 3);
    // The translucent node comes first: drawn in node order it would hide the wall.
    QImage image = render(sceneSeenFrom(4, {near, far}), "renderer-blend");
    const QColor c = centre(image);
    EXPECT_GT(c.red(), 60);
    EXPECT_GT(c.blue(), 60);
    const QColor wallOnly = image.pixelColor(20, 120);
    EXPECT_LT(wallOnly.red(), 40);
    EXPECT_GT(wallOnly.blue(), 100);
}

TEST_F(Renderer, DiffuseImageFromEncodedBytesIsDrawnScaledAndBiased) {
    TRIMEO_REQUIRE_GL();
    QImage green(4, 4, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    green.save(&buffer, "PNG");
    scene::Material m;
    m.diffuse.contents = scene::Image{{}, std::vector<std::uint8_t>(png.begin(), png.end())};
    auto g = square();
    g->materials = {m};
    QImage image = render(sceneSeenFrom(4, {Node::make(g)}), "renderer-texture");
    EXPECT_GT(centre(image).green(), centre(image).red() + 60);
    EXPECT_GT(centre(image).green(), centre(image).blue() + 60);

    // Green scaled away and red biased in: the same image draws red.
    g->materials[0].diffuse.scale = {1, 0, 1, 1};
    g->materials[0].diffuse.bias = {0.8f, 0, 0, 0};
    QImage tinted = render(sceneSeenFrom(4, {Node::make(g)}), "renderer-texture-tinted");
    EXPECT_GT(centre(tinted).red(), centre(tinted).green() + 60);
    EXPECT_GT(centre(tinted).red(), centre(tinted).blue() + 60);
}

TEST_F(Renderer, OneOffPictureLooksTheSameAndFreesOnlyTheVerticesTheDriverCopied) {
    TRIMEO_REQUIRE_GL();
    // Arrays this large go back to the system when freed: a draw still reading them crashes.
    const std::vector<std::uint8_t> bytes = test::binarySTL(test::sphereTriangles(100, 100));
    auto present = [&] {
        auto outcome = loadAndPresent(bytes, "sphere.stl");
        return std::get<PresentedModel>(outcome).scene;
    };
    // Both contexts the commands use: the window system's, and the one `--render` makes
    // without a display (where a software driver draws from the arrays in place).
    OffscreenRenderer egl(std::nullopt, ContextSource::egl);
    for (OffscreenRenderer* r : {&renderer(), &egl}) {
        if (!r->isValid()) continue;
        const QImage kept = r->render(present(), {320, 240}, kBackground);
        auto presented = present();
        r->setReleasesUploadedVertices(true);
        const QImage released = r->render(presented, {320, 240}, kBackground);
        r->setReleasesUploadedVertices(false);
        EXPECT_EQ(released, kept);
        const bool copied = !r->drawsFromSceneArrays();
        std::size_t geometries = 0;
        presented->rootNode->enumerateChildNodes([&](const Node::Ptr& node) {
            if (!node->geometry) return;
            ++geometries;
            for (const auto& source : node->geometry->sources) EXPECT_EQ(source.data.empty(), copied);
            EXPECT_FALSE(node->geometry->materials.empty());
        });
        EXPECT_GE(geometries, 2u); // the model and its floor
    }
    renderer().render(nullptr, {8, 8}, kBackground); // the window system's context current again
}

TEST_F(Renderer, IndexOutsideTheVertexListIsNotDrawnAndDoesNotCrash) {
    TRIMEO_REQUIRE_GL();
    // Triangle 0-1-2 covers the lower right half; the one naming vertex 99 would cover the upper left.
    auto g = square({0, 1, 2, 0, 2, 99, 7, 8, 9});
    g->materials = {flat({0.8f, 0.2f, 0.2f, 1}, true)};
    QImage image = render(sceneSeenFrom(4, {Node::make(g)}), "renderer-bad-index");
    EXPECT_GT(test::colourDistance(image.pixelColor(190, 150), kBackgroundPixel), 40); // lower right
    EXPECT_LE(test::colourDistance(image.pixelColor(130, 90), kBackgroundPixel), 1);   // upper left

    auto allBad = square({5, 6, 7});
    allBad->materials = {flat({0.8f, 0.2f, 0.2f, 1})};
    QImage empty = render(sceneSeenFrom(4, {Node::make(allBad)}), "renderer-all-bad");
    EXPECT_EQ(test::pixelsDifferingFrom(empty, kBackgroundPixel, 1), 0);
}

} // namespace
} // namespace trimeo
