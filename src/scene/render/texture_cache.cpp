#include "texture_cache.h"

#include "scene/image.h"

namespace cantorix::scene::render {

namespace {

GLint glFilter(TextureFilter filter, bool minification) {
    switch (filter) {
    case TextureFilter::Nearest:
        return GL_NEAREST;
    case TextureFilter::Linear:
        return GL_LINEAR;
    case TextureFilter::LinearMipmap:
        return minification ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR;
    }
    return GL_LINEAR;
}

} // namespace

TextureCache::Entry& TextureCache::entryFor(const void* owner) {
    Entry& entry = m_entries[owner];
    entry.lastFrame = m_frame;
    return entry;
}

bool TextureCache::bind(const TGLTexture& texture) {
    if (!texture.hasImage())
        return false;
    const Image& source = texture.image();
    const Stamp stamp{texture.revision(), source.rgba.data(), source.width, source.height};
    Entry& entry = entryFor(&texture);
    if (entry.id == 0 || !(entry.stamp == stamp)) {
        upload(entry, texture.adjustedImage(), texture.minFilter(), texture.magFilter());
        entry.stamp = stamp;
    } else {
        m_gl.glBindTexture(GL_TEXTURE_2D, entry.id);
    }
    return true;
}

bool TextureCache::bindAtlas(const TGLBitmapFont& font) {
    const Image& atlas = font.atlas();
    if (atlas.empty())
        return false;
    const Stamp stamp{font.revision(), atlas.rgba.data(), atlas.width, atlas.height};
    Entry& entry = entryFor(&font);
    if (entry.id == 0 || !(entry.stamp == stamp)) {
        // Text is drawn at whole pixels, so the atlas is sampled one texel per pixel.
        upload(entry, atlas, TextureFilter::Nearest, TextureFilter::Nearest);
        entry.stamp = stamp;
    } else {
        m_gl.glBindTexture(GL_TEXTURE_2D, entry.id);
    }
    return true;
}

void TextureCache::upload(Entry& entry, const Image& image, TextureFilter minFilter,
                          TextureFilter magFilter) {
    if (entry.id == 0)
        m_gl.glGenTextures(1, &entry.id);
    m_gl.glBindTexture(GL_TEXTURE_2D, entry.id);
    m_gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    m_gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    m_gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    m_gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, glFilter(minFilter, true));
    m_gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, glFilter(magFilter, false));
    m_gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA,
                      GL_UNSIGNED_BYTE, image.rgba.data());
    if (minFilter == TextureFilter::LinearMipmap) {
        // The levels are made here rather than by the driver: a software renderer makes them by
        // drawing, which first compiles a program (70-90 ms for the first picture of a start),
        // where halving on the CPU costs about 2 ms for the whole background.
        Image level = halvedImage(image);
        for (GLint index = 1;; ++index) {
            m_gl.glTexImage2D(GL_TEXTURE_2D, index, GL_RGBA8, level.width, level.height, 0, GL_RGBA,
                              GL_UNSIGNED_BYTE, level.rgba.data());
            if (level.width == 1 && level.height == 1)
                break;
            level = halvedImage(level);
        }
    }
    ++m_uploads;
}

void TextureCache::endFrame(const std::vector<const TGLMaterialLibrary*>& keptLibraries,
                            const std::vector<const TGLBitmapFont*>& keptFonts) {
    std::unordered_set<const void*> kept(keptFonts.begin(), keptFonts.end());
    for (const TGLMaterialLibrary* library : keptLibraries)
        for (int i = 0; i < library->count(); ++i)
            kept.insert(&library->material(i).texture());
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.lastFrame != m_frame && !kept.contains(it->first)) {
            m_gl.glDeleteTextures(1, &it->second.id);
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    ++m_frame;
}

void TextureCache::releaseAll() {
    for (auto& [owner, entry] : m_entries)
        m_gl.glDeleteTextures(1, &entry.id);
    m_entries.clear();
}

} // namespace cantorix::scene::render
