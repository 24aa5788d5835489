// Diffuse images decoded with QImage and uploaded once per scene. Images named by a
// relative path are looked up beside the model file. Needs the owning context current.
#pragma once

#include "scene/Material.h"

#include <epoxy/gl.h>

#include <filesystem>
#include <map>
#include <string>

namespace trimeo::gl {

class GLTextureCache {
public:
    struct Texture {
        GLuint id = 0; // 0: the image could not be read
        bool hasAlpha = false;
    };

    GLTextureCache() = default;
    GLTextureCache(const GLTextureCache&) = delete;
    GLTextureCache& operator=(const GLTextureCache&) = delete;

    void setResourceDirectory(std::filesystem::path directory) { directory_ = std::move(directory); }
    // Decodes and uploads on first use; an unreadable image is remembered as such.
    Texture textureFor(const scene::Image& image);
    void clear();

private:
    Texture upload(const scene::Image& image);

    std::filesystem::path directory_;
    std::map<std::string, Texture> textures_;
};

} // namespace trimeo::gl
