#include "GLTextureCache.h"

#include <QImage>
#include <QString>

#include <algorithm>

namespace trimeo::gl {
namespace {

std::string keyOf(const scene::Image& image) {
    if (!image.encoded.empty())
        return "bytes:" + std::to_string(reinterpret_cast<std::uintptr_t>(image.encoded.data())) + ":" +
               std::to_string(image.encoded.size());
    return "file:" + image.path;
}

} // namespace

GLTextureCache::Texture GLTextureCache::textureFor(const scene::Image& image) {
    const std::string key = keyOf(image);
    auto it = textures_.find(key);
    if (it == textures_.end()) it = textures_.emplace(key, upload(image)).first;
    return it->second;
}

void GLTextureCache::clear() {
    for (auto& [key, t] : textures_)
        if (t.id) glDeleteTextures(1, &t.id);
    textures_.clear();
}

GLTextureCache::Texture GLTextureCache::upload(const scene::Image& image) {
    QImage decoded;
    if (!image.encoded.empty()) {
        decoded = QImage::fromData(image.encoded.data(), int(image.encoded.size()));
    } else if (!image.path.empty()) {
        // Files written on Windows name their images with backslashes.
        std::string name = image.path;
        std::replace(name.begin(), name.end(), '\\', '/');
        std::filesystem::path p(name);
        if (p.is_relative() && !directory_.empty()) p = directory_ / p;
        decoded = QImage(QString::fromStdString(p.string()));
    }
    if (decoded.isNull()) return {};
    Texture t;
    // Texture coordinates count rows from the bottom; QImage counts them from the top.
    const QImage rgba = decoded.convertToFormat(QImage::Format_RGBA8888).mirrored();
    // Many files carry an alpha channel that is opaque everywhere: blending those would
    // only cost depth writes and show the model's inside through itself.
    if (decoded.hasAlphaChannel())
        for (int y = 0; y < rgba.height() && !t.hasAlpha; ++y) {
            const uchar* row = rgba.constScanLine(y);
            for (int x = 0; x < rgba.width(); ++x)
                if (row[x * 4 + 3] != 255) {
                    t.hasAlpha = true;
                    break;
                }
        }
    glGenTextures(1, &t.id);
    glBindTexture(GL_TEXTURE_2D, t.id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, rgba.width(), rgba.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                      rgba.constBits());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    return t;
}

} // namespace trimeo::gl
