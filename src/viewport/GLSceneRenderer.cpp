#include "GLSceneRenderer.h"

#include "CameraMath.h"
#include "GLMeshCache.h"
#include "GLProgram.h"
#include "GLShaders.h"
#include "GLTextureCache.h"
#include "ModelStatistics.h"
#include "LiveViewOptions.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <string>
#include <unordered_map>
#include <vector>

namespace trimeo::gl {
namespace {

using scene::Matrix4;

struct DrawItem {
    Matrix4 modelView;
    const GLMeshCache::Mesh* mesh;
    std::size_t part;
    const scene::Material* material; // null: the renderer's plain white
    bool lines;
    GLTextureCache::Texture texture;
    double depth;     // view-space z of the node's origin, for sorting blended items
    int palette = -1; // skinned: index of its joint matrices in the frame's palettes
    bool cut = false; // part of the model, which a section cuts
    bool insideOut = false; // wound clockwise seen from outside (see isInsideOut)
    HiddenSide hidden = HiddenSide::none; // culled even when double-sided: no eye can see it now
};

// The box lies wholly beyond the near plane: the camera is outside it and nothing of it is
// clipped open, so a closed surface inside shows only its outward side.
bool beyondNearPlane(const Matrix4& clipFromModel, const scene::BoundingBox& box) {
    if (box.isEmpty()) return false;
    for (int i = 0; i < 8; ++i) {
        const double corner[3] = {i & 1 ? box.max.x : box.min.x, i & 2 ? box.max.y : box.min.y,
                                  i & 4 ? box.max.z : box.min.z};
        double z = clipFromModel.at(2, 3), w = clipFromModel.at(3, 3);
        for (int k = 0; k < 3; ++k) {
            z += clipFromModel.at(2, k) * corner[k];
            w += clipFromModel.at(3, k) * corner[k];
        }
        if (!(z + w > 0)) return false;
    }
    return true;
}

void toFloats(const Matrix4& m, float out[16]) {
    for (int i = 0; i < 16; ++i) out[i] = float(m.m[i]);
}

} // namespace

struct GLSceneRenderer::Impl {
    bool ready = false;
    std::optional<GLMeshCache> meshes;
    std::optional<GLTextureCache> textures;
    std::shared_ptr<const scene::Scene> scene;
    bool wireframe = false;
    std::vector<DrawItem> opaque, blended;
    struct Uniforms {
        int modelView, normalMatrix, projection, diffuse, hasTexture, textureScale, textureBias, texture,
            physicallyBased, metalness, roughness, lightPosition, viewUp, joints, clipPlane, capInside, capColour;
    };
    struct Program { // one per SurfaceVariant, built on first use
        std::unique_ptr<GLProgram> shader;
        Uniforms u{};
        bool failed = false;
    };
    Program programs[SurfaceVariant::count];
    // Skinning: joints found by name once per scene; each frame's joint matrices.
    std::unordered_map<std::string, const scene::Node*> nodesByName;
    bool namesIndexed = false;
    std::vector<std::vector<float>> palettes;
    int bound = -1; // variant bound in this frame
    float projection[16] = {};
    scene::Vector3 viewUp;
    Matrix4 projectionMatrix;
    std::optional<Section> section;
    // Which way each cut geometry is wound, found once per scene: a section needs it to
    // tell the inside from the outside.
    std::unordered_map<const scene::Geometry*, bool> insideOut;

    Program* programFor(SurfaceVariant variant, std::string* error = nullptr);
    void collect(const Matrix4& view);
    int jointPalette(const scene::Skin& skin, const Matrix4& view, const Matrix4& modelView);
    void draw(const DrawItem& item);
};

GLSceneRenderer::GLSceneRenderer() : d(std::make_unique<Impl>()) {}
GLSceneRenderer::~GLSceneRenderer() = default;

bool GLSceneRenderer::initialize(std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    if (!glGetString(GL_VERSION)) return fail("no current OpenGL context");
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 33) return fail("OpenGL 3.3 core profile is not available");
    std::string why;
    if (!d->programFor({}, &why)) return fail("shader: " + why);
    d->ready = true;
    d->meshes.emplace();
    d->textures.emplace();
    return true;
}

void GLSceneRenderer::setScene(std::shared_ptr<const scene::Scene> scene, std::filesystem::path resourceDirectory,
                               PreparedMeshes prepared) {
    if (d->meshes) {
        d->meshes->clear();
        d->meshes->setPrepared(std::move(prepared));
    }
    if (d->textures) {
        d->textures->clear();
        d->textures->setResourceDirectory(std::move(resourceDirectory));
    }
    d->scene = std::move(scene);
    d->insideOut.clear();
    d->nodesByName.clear();
    d->namesIndexed = false;
}

const scene::Scene* GLSceneRenderer::scene() const { return d->scene.get(); }

void GLSceneRenderer::setWireframe(bool wireframe) { d->wireframe = wireframe; }

GLSceneRenderer::Impl::Program* GLSceneRenderer::Impl::programFor(SurfaceVariant variant, std::string* error) {
    Program& p = programs[variant.index()];
    if (p.shader || p.failed) return p.shader ? &p : nullptr;
    auto shader = GLProgram::build(surfaceVertexShader(variant), surfaceFragmentShader(variant), error);
    if (!shader) {
        p.failed = true;
        return nullptr;
    }
    auto& s = *shader;
    p.u = {s.uniformLocation("uModelView"),       s.uniformLocation("uNormalMatrix"),
           s.uniformLocation("uProjection"),      s.uniformLocation("uDiffuse"),
           s.uniformLocation("uHasTexture"),      s.uniformLocation("uTextureScale"),
           s.uniformLocation("uTextureBias"),     s.uniformLocation("uTexture"),
           s.uniformLocation("uPhysicallyBased"), s.uniformLocation("uMetalness"),
           s.uniformLocation("uRoughness"),       s.uniformLocation("uLightPosition"),
           s.uniformLocation("uViewUp"),          s.uniformLocation("uJoints"),
           s.uniformLocation("uClipPlane"),       s.uniformLocation("uCapInside"),
           s.uniformLocation("uCapColour")};
    p.shader = std::move(shader);
    return &p;
}

void GLSceneRenderer::prepare() {
    if (d->ready) d->collect(Matrix4::identity());
}

bool GLSceneRenderer::drawsFromSceneArrays() const { return d->meshes && d->meshes->drawsInPlace(); }

void GLSceneRenderer::release() {
    if (d->meshes) d->meshes->clear();
    if (d->textures) d->textures->clear();
    for (Impl::Program& p : d->programs) p = {};
    d->ready = false;
}

int GLSceneRenderer::Impl::jointPalette(const scene::Skin& skin, const Matrix4& view, const Matrix4& modelView) {
    if (!namesIndexed) {
        scene->rootNode->enumerateChildNodes([this](const scene::Node::Ptr& n) {
            if (n->name) nodesByName.emplace(*n->name, n.get()); // the first of a name wins
        });
        namesIndexed = true;
    }
    std::vector<float> matrices(skin.jointNames.size() * 16);
    for (std::size_t j = 0; j < skin.jointNames.size(); ++j) {
        const auto found = nodesByName.find(skin.jointNames[j]);
        // A joint that is not there leaves its vertices where the geometry's node puts them.
        const Matrix4 m = found == nodesByName.end() || j >= skin.inverseBindMatrices.size()
                              ? modelView
                              : view * found->second->worldTransform() * skin.inverseBindMatrices[j];
        toFloats(m, &matrices[j * 16]);
    }
    palettes.push_back(std::move(matrices));
    return int(palettes.size()) - 1;
}

void GLSceneRenderer::Impl::collect(const Matrix4& view) {
    opaque.clear();
    blended.clear();
    palettes.clear();
    if (!scene || !scene->rootNode) return;
    // Explicit stack: file hierarchies can be deeper than the call stack allows.
    struct Entry {
        const scene::Node* node;
        Matrix4 parent;
        bool inModel;
    };
    std::vector<Entry> stack{{scene->rootNode.get(), view, false}};
    while (!stack.empty()) {
        auto [node, parent, inModel] = stack.back();
        stack.pop_back();
        const Matrix4 modelView = parent * node->transform();
        inModel = inModel || node->name == "modelContainer";
        for (auto it = node->childNodes().rbegin(); it != node->childNodes().rend(); ++it)
            stack.push_back({it->get(), modelView, inModel});
        if (!node->geometry) continue;
        const GLMeshCache::Mesh& mesh = meshes->meshFor(node->geometry);
        const auto& materials = node->geometry->materials;
        const int palette = mesh.hasSkin ? jointPalette(*node->geometry->skin, view, modelView) : -1;
        bool seeThrough = false;
        std::size_t opaqueParts = 0; // this geometry's items at the end of `opaque`
        for (std::size_t part = 0; part < mesh.parts.size(); ++part) {
            if (mesh.parts[part].count == 0) continue;
            const std::size_t materialIndex = materials.empty() ? 0 : part % materials.size();
            const scene::Material* m = materials.empty() ? nullptr : &materials[materialIndex];
            DrawItem item{modelView, &mesh, part, m, drawsAsLines(m, materialIndex, wireframe), {}, modelView.at(2, 3),
                          palette, inModel};
            if (section && inModel) {
                auto known = insideOut.find(node->geometry.get());
                if (known == insideOut.end())
                    known = insideOut.emplace(node->geometry.get(), isInsideOut(*node->geometry)).first;
                item.insideOut = known->second;
            }
            bool isBlended = false;
            if (m) {
                if (const scene::Image* image = m->diffuse.image()) {
                    item.texture = textures->textureFor(*image);
                    isBlended = item.texture.hasAlpha;
                } else if (const scene::Color* c = m->diffuse.color()) {
                    isBlended = c->a < 1.0f;
                }
            }
            seeThrough = seeThrough || isBlended || item.lines;
            (isBlended ? blended : opaque).push_back(item);
            if (!isBlended) ++opaqueParts;
        }
        // What shows through a blended part or between lines includes the far side.
        if (!seeThrough && !(section && inModel) && mesh.hidden != HiddenSide::none &&
            beyondNearPlane(projectionMatrix * modelView, mesh.box))
            for (std::size_t i = opaque.size() - opaqueParts; i < opaque.size(); ++i) opaque[i].hidden = mesh.hidden;
    }
    // Farthest first, so nearer translucent surfaces blend over farther ones.
    std::stable_sort(blended.begin(), blended.end(),
                     [](const DrawItem& a, const DrawItem& b) { return a.depth < b.depth; });
}

void GLSceneRenderer::Impl::draw(const DrawItem& item) {
    static const scene::Material fallback = [] {
        scene::Material plain;
        plain.diffuse.contents = scene::Color::white();
        return plain;
    }();
    const scene::Material& m = item.material ? *item.material : fallback;
    const bool textured = item.texture.id != 0 && item.mesh->hasTexcoords;
    const SurfaceVariant variant{item.mesh->hasNormals, textured, item.palette >= 0};
    Program* program = programFor(variant);
    if (!program) program = programFor({true, true, variant.skinned}); // reads what it lacks as zero
    if (!program) return;
    const Uniforms& u = program->u;
    if (bound != program - programs) {
        bound = int(program - programs);
        program->shader->bind();
        glUniformMatrix4fv(u.projection, 1, GL_FALSE, projection);
        glUniform1i(u.texture, 0);
        // The light rides above and to the left of the eye, so it follows every camera move.
        glUniform3f(u.lightPosition, -1.5f, 2.5f, 0.5f);
        glUniform3f(u.viewUp, float(viewUp.x), float(viewUp.y), float(viewUp.z));
    }

    float mv[16];
    toFloats(item.modelView, mv);
    const Matrix4 n = normalMatrix(item.modelView);
    const float nm[9] = {float(n.at(0, 0)), float(n.at(1, 0)), float(n.at(2, 0)), float(n.at(0, 1)), float(n.at(1, 1)),
                         float(n.at(2, 1)), float(n.at(0, 2)), float(n.at(1, 2)), float(n.at(2, 2))};
    glUniformMatrix4fv(u.modelView, 1, GL_FALSE, mv);
    glUniformMatrix3fv(u.normalMatrix, 1, GL_FALSE, nm);
    if (item.palette >= 0) {
        const std::vector<float>& joints = palettes[std::size_t(item.palette)];
        glUniformMatrix4fv(u.joints, GLsizei(joints.size() / 16), GL_FALSE, joints.data());
    }

    scene::Color diffuse = scene::Color::white();
    if (const scene::Color* c = m.diffuse.color()) diffuse = *c;
    glUniform4f(u.diffuse, diffuse.r, diffuse.g, diffuse.b, diffuse.a);
    glUniform1i(u.hasTexture, textured);
    const scene::Color& scale = m.diffuse.scale;
    const scene::Color& bias = m.diffuse.bias;
    glUniform4f(u.textureScale, scale.r, scale.g, scale.b, scale.a);
    glUniform4f(u.textureBias, bias.r, bias.g, bias.b, bias.a);
    if (textured) {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, item.texture.id);
    }
    glUniform1i(u.physicallyBased, m.lightingModel == scene::LightingModel::physicallyBased);
    glUniform1f(u.metalness, m.metalness);
    glUniform1f(u.roughness, m.roughness);

    const bool cut = section && item.cut;
    glUniform1i(u.capInside, cut);
    if (cut) {
        glEnable(GL_CLIP_DISTANCE0);
        const auto& p = section->viewPlane;
        glUniform4f(u.clipPlane, float(p[0]), float(p[1]), float(p[2]), float(p[3]));
        glUniform3f(u.capColour, section->capColor.r, section->capColor.g, section->capColor.b);
    } else {
        glDisable(GL_CLIP_DISTANCE0);
        // Some drivers clip by what the shader writes whatever the enable says: a plane
        // everything lies in front of.
        glUniform4f(u.clipPlane, 0, 0, 0, 1);
    }
    // A cut shows the inside: its back faces are the cap.
    if (cut || (m.isDoubleSided && item.hidden == HiddenSide::none)) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(m.isDoubleSided && item.hidden == HiddenSide::front ? GL_FRONT : GL_BACK);
    }
    // A mirroring transform turns counter-clockwise faces clockwise on screen.
    glFrontFace((determinant3(item.modelView) < 0) != (cut && item.insideOut) ? GL_CW : GL_CCW);
    glPolygonMode(GL_FRONT_AND_BACK, item.lines ? GL_LINE : GL_FILL);

    const GLMeshCache::Part& part = item.mesh->parts[item.part];
    glBindVertexArray(item.mesh->vao);
    // A zero normal makes the shader light the triangle by its own plane (when the full
    // variant has to stand in).
    if (!item.mesh->hasNormals) glVertexAttrib3f(1, 0, 0, 0);
    if (item.mesh->sequential)
        glDrawArrays(GL_TRIANGLES, GLint(part.firstIndex), part.count);
    else
        glDrawElements(GL_TRIANGLES, part.count, GL_UNSIGNED_INT,
                       item.mesh->clientIndices
                           ? static_cast<const void*>(item.mesh->clientIndices + part.firstIndex)
                           : reinterpret_cast<const void*>(part.firstIndex * sizeof(std::uint32_t)));
}

void GLSceneRenderer::setSection(std::optional<Section> section) { d->section = section; }

void GLSceneRenderer::render(const Matrix4& view, const Matrix4& projection, int width, int height,
                             scene::Color background) {
    if (!d->ready) return;
    glViewport(0, 0, width, height);
    glClearColor(background.r, background.g, background.b, background.a);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_MULTISAMPLE);

    d->projectionMatrix = projection;
    d->collect(view);
    toFloats(projection, d->projection);
    d->viewUp = scene::normalized(view.transformDirection({0.0, 1.0, 0.0}));
    d->bound = -1;

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    for (const DrawItem& item : d->opaque) d->draw(item);

    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    for (const DrawItem& item : d->blended) d->draw(item);

    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_CLIP_DISTANCE0);
    glBindVertexArray(0);
    glUseProgram(0);
}

} // namespace trimeo::gl
