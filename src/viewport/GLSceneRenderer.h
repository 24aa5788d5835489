// Draws a scene with OpenGL 3.3 core: opaque surfaces first, then blended ones (diffuse
// alpha below 1 or images with alpha) back to front without depth writes. Honours each
// material's double-sidedness (else back faces are culled), fill mode (lines draw the
// triangles' edges), diffuse colour or image and lighting model. The scene has no lights
// of its own, so it is lit by a light that follows the camera plus ambient.
// Every call needs the same current context; geometry is uploaded once per scene.
#pragma once

#include "MeshData.h"
#include "scene/Scene.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace trimeo::gl {

class GLSceneRenderer {
public:
    GLSceneRenderer();
    ~GLSceneRenderer(); // call release() first while the context is current
    GLSceneRenderer(const GLSceneRenderer&) = delete;
    GLSceneRenderer& operator=(const GLSceneRenderer&) = delete;

    // Compiles the shader. False, with the reason in `error`, when the context is not
    // OpenGL 3.3 core or the shader does not build.
    bool initialize(std::string* error = nullptr);

    // Drops the previous scene's GPU data; the new one uploads on its first frame, from
    // `prepared` where the loading thread already made its meshes. Relative image paths are
    // resolved against `resourceDirectory`.
    void setScene(std::shared_ptr<const scene::Scene> scene, std::filesystem::path resourceDirectory = {},
                  PreparedMeshes prepared = {});
    const scene::Scene* scene() const;

    // Uploads every geometry and texture of the scene now rather than on the first frame.
    void prepare();
    // Whether draws read the scene's own vertex arrays (no copy in the driver): they must then
    // outlive the scene's use here.
    bool drawsFromSceneArrays() const;

    // The wireframe option: every geometry's first material is drawn as lines (see
    // drawsAsLines). The scene itself is not changed.
    void setWireframe(bool wireframe);

    // A cut through the model (the nodes below "modelContainer"): only what lies where
    // a x + b y + c z + d >= 0 in view space is drawn, and the inside of the surfaces the cut
    // opens is filled flat with `capColor`, so a closed solid reads as solid. Applies to the
    // following frames; nothing turns it off again.
    struct Section {
        std::array<double, 4> viewPlane;
        scene::Color capColor;
    };
    void setSection(std::optional<Section> section);

    // Draws into the currently bound framebuffer of the given size in pixels, cleared to
    // `background` with its alpha (0 for a transparent picture).
    void render(const scene::Matrix4& view, const scene::Matrix4& projection, int width, int height,
                scene::Color background);

    // Frees every GL object. Needs the context current; safe to call twice.
    void release();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace trimeo::gl
