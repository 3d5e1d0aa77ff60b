#pragma once
// The GL state and drawing primitives shared by the scene and GUI renderers: frame set-up, the
// screen-space and perspective modes, materials (texture, texture mode, blending, alpha test,
// colour) and batched quads. Needs the viewer's GL context current. Main thread only.

#include "gl_math.h"
#include "scene/gui/gui_layout.h"
#include "text_layout.h"
#include "texture_cache.h"

#include <QOpenGLFunctions_2_1>
#include <vector>

namespace cantorix::scene::render {

// A screen rectangle (viewer pixels, y down) and the part of the bound texture it shows, in
// texture coordinates with v = 0 at the picture's top row.
struct ScreenQuad {
    RectF screen;
    RectF uv{0, 0, 1, 1};
};

// A corner of a quad in the world, with its texture coordinates.
struct WorldVertex {
    float x, y, z, u, v;
};

class GlPainter {
public:
    GlPainter(QOpenGLFunctions_2_1& gl, TextureCache& textures) : m_gl(gl), m_textures(textures) {}

    // Viewer size in pixels; framebufferScale converts to device pixels for the viewport.
    void beginFrame(int viewerWidth, int viewerHeight, float framebufferScale);
    // Leaves the GL state as the widget's compositor expects it.
    void endFrame();
    int viewerWidth() const { return m_width; }
    int viewerHeight() const { return m_height; }

    // Orthographic over the viewer, no depth test: HUD nodes and GUI controls.
    void useScreenSpace();
    // Perspective with depth test and depth writes: 3D nodes.
    void useWorld(const Mat4& projection, const Mat4& modelView);

    // Sets up drawing with a material, tinted by `tint`; a missing material draws plain colour.
    // Returns whether a texture is bound.
    bool applyMaterial(const TGLLibMaterial* material, ColorF tint = {});
    // Sets up drawing of glyphs from the font's atlas in that colour, blended over the scene.
    bool applyFontAtlas(const TGLBitmapFont& font, ColorF colour);
    // Plain colour, blended when its alpha is below 1.
    void applyColour(ColorF colour);

    void drawScreenQuads(const std::vector<ScreenQuad>& quads);
    void drawWorldQuads(const std::vector<WorldVertex>& corners); // four corners per quad
    // Plain triangles in screen space: x, y pairs, three corners per triangle.
    void drawScreenTriangles(const std::vector<float>& corners);
    // Glyphs laid out by layoutText, in that colour.
    void drawText(const TGLBitmapFont& font, const TextLayout& layout, ColorF colour);

    // The GL functions, for drawers that keep buffers of their own.
    QOpenGLFunctions_2_1& functions() { return m_gl; }

    // Screen-space drawing is cut to this rectangle (viewer pixels) until clearClip().
    void setClip(RectI rect);
    void clearClip();

private:
    enum class Mode { None, Screen, World };
    void setBlending(BlendingMode mode, float alphaThreshold);
    void setColour(ColorF colour);

    QOpenGLFunctions_2_1& m_gl;
    TextureCache& m_textures;
    Mode m_mode = Mode::None;
    int m_width = 0, m_height = 0;
    float m_scale = 1;
    std::vector<float> m_positions, m_texCoords;
};

} // namespace cantorix::scene::render
