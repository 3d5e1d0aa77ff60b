#pragma once
// The GL state and drawing primitives shared by the scene and GUI renderers: frame set-up, the
// screen-space and perspective modes, materials (texture, texture mode, blending, alpha test,
// colour) and batched quads. Needs the viewer's GL context current. Main thread only.

#include "gl_math.h"
#include "letterbox.h"
#include "scene/gui/gui_layout.h"
#include "text_layout.h"
#include "texture_cache.h"

#include <QOpenGLFunctions_2_1>
#include <memory>
#include <unordered_map>
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

    // Draws a canvas of designWidth × designHeight pixels (the coordinates every node and
    // control uses) into the letterbox's rectangle of the framebuffer; the margins around it
    // are cleared to marginColour.
    void beginFrame(int designWidth, int designHeight, const Letterbox& box, ColorF marginColour);
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
    // The same, each quad in its own colour (colours[i] for quads[i]), which stands in for the
    // colour the material or atlas set: quads of several colours go to GL in one call.
    void drawScreenQuads(const std::vector<ScreenQuad>& quads, const std::vector<ColorF>& colours);
    void drawWorldQuads(const std::vector<WorldVertex>& corners); // four corners per quad
    // Plain triangles in screen space: x, y pairs, three corners per triangle.
    void drawScreenTriangles(const std::vector<float>& corners);
    // Glyphs laid out by layoutText, in that colour. When the canvas is scaled the glyphs come
    // from the same face rasterised at the scaled size, placed at their design pens, so text
    // stays sharp at any window size.
    void drawText(const TGLBitmapFont& font, const TextLayout& layout, ColorF colour);
    // The glyph quads of a layout, appended to `quads` with their texture coordinates in pixels
    // of the atlas that holds them, and the font whose atlas that is (the face at the device
    // scale, or `font` at scale 1). Texts of one font gathered this way are drawn together by
    // drawGlyphQuads once every glyph is in the atlas.
    const TGLBitmapFont& glyphQuads(const TGLBitmapFont& font, const TextLayout& layout,
                                    std::vector<ScreenQuad>& quads);
    // Draws glyph quads from glyphQuads of that atlas font, each in its colour; turns their
    // texture coordinates into the atlas' fractions first.
    void drawGlyphQuads(const TGLBitmapFont& atlasFont, std::vector<ScreenQuad>& quads,
                        const std::vector<ColorF>& colours);

    // The GL functions, for drawers that keep buffers of their own.
    QOpenGLFunctions_2_1& functions() { return m_gl; }

    // Framebuffer pixels per design pixel: text is rasterised at this size to stay sharp.
    float deviceScale() const { return m_box.scale > 0 ? static_cast<float>(m_box.scale) : 1.0f; }

    // Screen-space drawing is cut to this rectangle (design pixels) until clearClip().
    void setClip(RectI rect);
    void clearClip();

private:
    enum class Mode { None, Screen, World };
    void setBlending(BlendingMode mode, float alphaThreshold);
    void setColour(ColorF colour);
    // The font's face at the current device scale, or the font itself at scale 1.
    TGLBitmapFont& fontAtScale(const TGLBitmapFont& font);
    // The GL row (counted from the framebuffer's bottom) of a device-pixel row counted from its
    // top.
    int deviceRowOf(int top) const;

    QOpenGLFunctions_2_1& m_gl;
    TextureCache& m_textures;
    Mode m_mode = Mode::None;
    int m_width = 0, m_height = 0;
    Letterbox m_box;
    std::vector<float> m_positions, m_texCoords, m_colours;
    struct ScaledFont {
        FontSpec designStyle;
        float scale = 0;
        std::unique_ptr<TGLBitmapFont> font;
    };
    std::unordered_map<const TGLBitmapFont*, ScaledFont> m_scaledFonts;
};

} // namespace cantorix::scene::render
