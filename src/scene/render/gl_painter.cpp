#include "gl_painter.h"

#include <algorithm>
#include <cmath>

namespace cantorix::scene::render {

void GlPainter::beginFrame(int designWidth, int designHeight, const Letterbox& box,
                           ColorF marginColour) {
    m_width = designWidth;
    m_height = designHeight;
    m_box = box;
    m_mode = Mode::None;
    m_gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    m_gl.glDepthMask(GL_TRUE);
    m_gl.glDisable(GL_SCISSOR_TEST);
    m_gl.glClearColor(marginColour.r, marginColour.g, marginColour.b, 1);
    m_gl.glClearDepth(1.0);
    m_gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The canvas itself starts black, as the designed window did; the viewport maps design
    // pixels onto it, so every node, control and the camera's aspect stay as designed.
    m_gl.glViewport(box.left, deviceRowOf(box.top + box.height), box.width, box.height);
    m_gl.glEnable(GL_SCISSOR_TEST);
    m_gl.glScissor(box.left, deviceRowOf(box.top + box.height), box.width, box.height);
    m_gl.glClearColor(0, 0, 0, 1);
    m_gl.glClear(GL_COLOR_BUFFER_BIT);
    m_gl.glDisable(GL_SCISSOR_TEST);
    // The framebuffer's alpha stays 1: blending into it would leave fringes in a widget grab.
    m_gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    m_gl.glDisable(GL_LIGHTING);
    m_gl.glDisable(GL_CULL_FACE);
    m_gl.glDisable(GL_DITHER);
    m_gl.glDepthFunc(GL_LEQUAL);
    m_gl.glMatrixMode(GL_TEXTURE);
    m_gl.glLoadIdentity();
    m_gl.glEnableClientState(GL_VERTEX_ARRAY);
    m_gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void GlPainter::endFrame() {
    clearClip();
    m_gl.glDisableClientState(GL_VERTEX_ARRAY);
    m_gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    m_gl.glDisable(GL_BLEND);
    m_gl.glDisable(GL_ALPHA_TEST);
    m_gl.glDisable(GL_DEPTH_TEST);
    m_gl.glDisable(GL_TEXTURE_2D);
    m_gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    m_gl.glDepthMask(GL_TRUE);
}

void GlPainter::useScreenSpace() {
    if (m_mode == Mode::Screen)
        return;
    m_mode = Mode::Screen;
    m_gl.glMatrixMode(GL_PROJECTION);
    m_gl.glLoadIdentity();
    m_gl.glOrtho(0, m_width, m_height, 0, -1, 1);
    m_gl.glMatrixMode(GL_MODELVIEW);
    m_gl.glLoadIdentity();
    m_gl.glDisable(GL_DEPTH_TEST);
    m_gl.glDepthMask(GL_FALSE);
}

void GlPainter::useWorld(const Mat4& projection, const Mat4& modelView) {
    m_mode = Mode::World;
    m_gl.glMatrixMode(GL_PROJECTION);
    m_gl.glLoadMatrixf(projection.m.data());
    m_gl.glMatrixMode(GL_MODELVIEW);
    m_gl.glLoadMatrixf(modelView.m.data());
    m_gl.glEnable(GL_DEPTH_TEST);
    m_gl.glDepthMask(GL_TRUE);
}

bool GlPainter::applyMaterial(const TGLLibMaterial* material, ColorF tint) {
    if (!material) {
        applyColour(tint);
        return false;
    }
    const bool textured = m_textures.bind(material->texture());
    if (textured) {
        m_gl.glEnable(GL_TEXTURE_2D);
        m_gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE,
                       material->texture().mode() == TextureMode::Replace ? GL_REPLACE
                                                                          : GL_MODULATE);
    } else {
        m_gl.glDisable(GL_TEXTURE_2D);
    }
    setBlending(material->blending(), material->alphaThreshold());
    const ColorF d = material->diffuse();
    setColour({d.r * tint.r, d.g * tint.g, d.b * tint.b, d.a * tint.a});
    return textured;
}

bool GlPainter::applyFontAtlas(const TGLBitmapFont& font, ColorF colour) {
    if (!m_textures.bindAtlas(font))
        return false;
    m_gl.glEnable(GL_TEXTURE_2D);
    m_gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    setBlending(BlendingMode::Transparency, 0);
    setColour(colour);
    return true;
}

void GlPainter::applyColour(ColorF colour) {
    m_gl.glDisable(GL_TEXTURE_2D);
    setBlending(colour.a < 1.0f ? BlendingMode::Transparency : BlendingMode::Opaque, 0);
    setColour(colour);
}

void GlPainter::setBlending(BlendingMode mode, float alphaThreshold) {
    switch (mode) {
    case BlendingMode::Opaque:
        m_gl.glDisable(GL_BLEND);
        m_gl.glDisable(GL_ALPHA_TEST);
        break;
    case BlendingMode::Transparency:
        m_gl.glEnable(GL_BLEND);
        m_gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        m_gl.glDisable(GL_ALPHA_TEST);
        break;
    case BlendingMode::Additive:
        m_gl.glEnable(GL_BLEND);
        m_gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        m_gl.glDisable(GL_ALPHA_TEST);
        break;
    case BlendingMode::AlphaTest:
        // "At least the threshold" passes, so a threshold of 1 keeps the fully opaque pixels.
        m_gl.glDisable(GL_BLEND);
        m_gl.glEnable(GL_ALPHA_TEST);
        m_gl.glAlphaFunc(GL_GEQUAL, alphaThreshold);
        break;
    }
}

void GlPainter::setColour(ColorF c) {
    m_gl.glColor4f(c.r, c.g, c.b, c.a);
}

void GlPainter::drawScreenQuads(const std::vector<ScreenQuad>& quads) {
    if (quads.empty())
        return;
    m_positions.clear();
    m_texCoords.clear();
    for (const ScreenQuad& q : quads) {
        const RectF& s = q.screen;
        const RectF& t = q.uv;
        m_positions.insert(m_positions.end(),
                           {s.left, s.top, s.right, s.top, s.right, s.bottom, s.left, s.bottom});
        m_texCoords.insert(m_texCoords.end(),
                           {t.left, t.top, t.right, t.top, t.right, t.bottom, t.left, t.bottom});
    }
    m_gl.glVertexPointer(2, GL_FLOAT, 0, m_positions.data());
    m_gl.glTexCoordPointer(2, GL_FLOAT, 0, m_texCoords.data());
    m_gl.glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quads.size() * 4));
}

void GlPainter::drawScreenQuads(const std::vector<ScreenQuad>& quads,
                                const std::vector<ColorF>& colours) {
    if (quads.empty() || colours.size() != quads.size())
        return;
    m_colours.clear();
    for (const ColorF& c : colours)
        for (int corner = 0; corner < 4; ++corner)
            m_colours.insert(m_colours.end(), {c.r, c.g, c.b, c.a});
    m_gl.glEnableClientState(GL_COLOR_ARRAY);
    m_gl.glColorPointer(4, GL_FLOAT, 0, m_colours.data());
    drawScreenQuads(quads);
    m_gl.glDisableClientState(GL_COLOR_ARRAY);
    // The current colour is undefined after a colour array: the next material sets its own.
    setColour({});
}

void GlPainter::drawWorldQuads(const std::vector<WorldVertex>& corners) {
    if (corners.empty())
        return;
    m_gl.glVertexPointer(3, GL_FLOAT, sizeof(WorldVertex), &corners.front().x);
    m_gl.glTexCoordPointer(2, GL_FLOAT, sizeof(WorldVertex), &corners.front().u);
    m_gl.glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(corners.size()));
}

void GlPainter::drawScreenTriangles(const std::vector<float>& corners) {
    if (corners.size() < 6)
        return;
    m_gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    m_gl.glVertexPointer(2, GL_FLOAT, 0, corners.data());
    m_gl.glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(corners.size() / 6 * 3));
    m_gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

TGLBitmapFont& GlPainter::fontAtScale(const TGLBitmapFont& font) {
    const float scale = deviceScale();
    ScaledFont& entry = m_scaledFonts[&font];
    const FontSpec& style = font.style();
    // A font made anew at the address of a deleted one must not reuse the old one's glyphs.
    const bool sameFont = entry.font && entry.designStyle.face == style.face &&
                          entry.designStyle.height == style.height &&
                          entry.designStyle.bold == style.bold;
    if (!sameFont || entry.scale != scale) {
        FontSpec scaled = style;
        const int height = style.height == 0 ? 16 : style.height;
        scaled.height = static_cast<int>(std::lround(height * scale));
        if (scaled.height == 0)
            scaled.height = height < 0 ? -1 : 1;
        entry.designStyle = style;
        entry.scale = scale;
        entry.font = std::make_unique<TGLBitmapFont>(font.name(), scaled, font.rasterizer());
    }
    return *entry.font;
}

const TGLBitmapFont& GlPainter::glyphQuads(const TGLBitmapFont& font, const TextLayout& layout,
                                           std::vector<ScreenQuad>& quads) {
    if (std::abs(deviceScale() - 1.0f) <= 0.01f) {
        for (const PlacedGlyph& g : layout.glyphs)
            quads.push_back(
                {g.screen,
                 {static_cast<float>(g.atlas.left), static_cast<float>(g.atlas.top),
                  static_cast<float>(g.atlas.right), static_cast<float>(g.atlas.bottom)}});
        return font;
    }
    TGLBitmapFont& scaled = fontAtScale(font);
    const float s = deviceScale();
    for (const PlacedGlyph& placed : layout.glyphs) {
        const GlyphInfo& g = scaled.glyph(placed.character);
        if (g.width <= 0 || g.height <= 0)
            continue;
        // Pens on whole device pixels, so each atlas texel covers one framebuffer pixel.
        const float left = (std::round(placed.pen * s) + static_cast<float>(g.left)) / s;
        const float top = (std::round(placed.lineTop * s) + static_cast<float>(g.top)) / s;
        const auto x = static_cast<float>(g.atlasX), y = static_cast<float>(g.atlasY);
        quads.push_back(
            {{left, top, left + static_cast<float>(g.width) / s,
              top + static_cast<float>(g.height) / s},
             {x, y, x + static_cast<float>(g.width), y + static_cast<float>(g.height)}});
    }
    return scaled;
}

void GlPainter::drawGlyphQuads(const TGLBitmapFont& atlasFont, std::vector<ScreenQuad>& quads,
                               const std::vector<ColorF>& colours) {
    // Binding uploads the atlas as it is: every glyph of the quads was rasterised before.
    if (quads.empty() || !applyFontAtlas(atlasFont, {}))
        return;
    // The atlas only grows downwards or rightwards, so pixel places gathered earlier still hold.
    const float w = static_cast<float>(atlasFont.atlas().width);
    const float h = static_cast<float>(atlasFont.atlas().height);
    for (ScreenQuad& q : quads)
        q.uv = {q.uv.left / w, q.uv.top / h, q.uv.right / w, q.uv.bottom / h};
    drawScreenQuads(quads, colours);
}

void GlPainter::drawText(const TGLBitmapFont& font, const TextLayout& layout, ColorF colour) {
    if (layout.glyphs.empty())
        return;
    std::vector<ScreenQuad> quads;
    quads.reserve(layout.glyphs.size());
    const TGLBitmapFont& atlasFont = glyphQuads(font, layout, quads);
    drawGlyphQuads(atlasFont, quads, std::vector<ColorF>(quads.size(), colour));
}

int GlPainter::deviceRowOf(int top) const {
    // GL counts rows from the framebuffer's bottom.
    return m_box.deviceHeight - top;
}

void GlPainter::setClip(RectI rect) {
    const double s = m_box.scale;
    const auto device = [&](int v) { return static_cast<GLint>(std::lround(v * s)); };
    const GLint left = m_box.left + device(rect.left);
    const GLint right = m_box.left + device(rect.right);
    const GLint top = m_box.top + device(rect.top);
    const GLint bottom = m_box.top + device(rect.bottom);
    m_gl.glEnable(GL_SCISSOR_TEST);
    m_gl.glScissor(left, deviceRowOf(bottom), std::max(right - left, 0), std::max(bottom - top, 0));
}

void GlPainter::clearClip() {
    m_gl.glDisable(GL_SCISSOR_TEST);
}

} // namespace cantorix::scene::render
