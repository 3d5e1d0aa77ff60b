#pragma once
// GL texture objects for the scene's material textures and font atlases, uploaded on first use
// and again only when their revision changes, deleted when their owner has gone. Owned by the
// viewer; every call needs the viewer's GL context current. Main thread only.

#include "scene/bitmap_font.h"
#include "scene/material.h"

#include <QOpenGLFunctions_2_1>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace cantorix::scene::render {

class TextureCache {
public:
    explicit TextureCache(QOpenGLFunctions_2_1& gl) : m_gl(gl) {}
    ~TextureCache() = default; // GL objects go in releaseAll(), while the context still exists
    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;

    // Binds the texture's picture (brightness, gamma and transparent colour applied) with its
    // filters. False when it has no picture; then nothing is bound.
    bool bind(const TGLTexture& texture);
    // Binds the font's glyph atlas; call after every glyph of the text has been looked up.
    bool bindAtlas(const TGLBitmapFont& font);

    // Ends a frame: textures neither drawn in it nor held by a library or font the viewer keeps
    // are deleted, so a removed or replaced material does not keep its GL texture.
    void endFrame(const std::vector<const TGLMaterialLibrary*>& keptLibraries,
                  const std::vector<const TGLBitmapFont*>& keptFonts);
    void releaseAll();

    std::size_t size() const { return m_entries.size(); }
    // Uploads since creation: lets tests prove that unchanged frames upload nothing.
    std::uint64_t uploadCount() const { return m_uploads; }

private:
    // What identifies the picture an entry was made from. The pixel buffer's address guards
    // against a new owner reusing the address of a deleted one.
    struct Stamp {
        std::uint64_t revision = 0;
        const void* pixels = nullptr;
        int width = 0, height = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    struct Entry {
        GLuint id = 0;
        Stamp stamp;
        std::uint64_t lastFrame = 0;
    };

    Entry& entryFor(const void* owner);
    void upload(Entry& entry, const Image& image, TextureFilter minFilter, TextureFilter magFilter);

    QOpenGLFunctions_2_1& m_gl;
    std::unordered_map<const void*, Entry> m_entries;
    std::uint64_t m_frame = 1;
    std::uint64_t m_uploads = 0;
};

} // namespace cantorix::scene::render
