#include "bitmap_font.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace cantorix::scene {

namespace {

// Small enough that a font of a few glyphs stays cheap to upload, big enough that the game's
// fonts (a hundred glyphs of at most 37 pixels) need only two or three doublings.
constexpr int kInitialAtlasSide = 128;
// Larger than any texture the game needs; a glyph that would need more is refused.
constexpr int kMaxAtlasSide = 8192;
// Transparent pixels kept between glyphs so filtering never picks up a neighbour.
constexpr int kPadding = 1;

std::string codePointName(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

Image blankAtlas(int width, int height) {
    Image atlas(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = atlas.pixel(x, y);
            p[0] = p[1] = p[2] = 255; // white, so filtering at glyph edges never darkens
        }
    return atlas;
}

} // namespace

TGLBitmapFont::TGLBitmapFont(std::string name, FontSpec style, GlyphRasterizer& rasterizer)
    : m_name(std::move(name)), m_style(std::move(style)), m_rasterizer(rasterizer),
      m_metrics(rasterizer.metrics(m_style)),
      m_atlas(blankAtlas(kInitialAtlasSide, kInitialAtlasSide)) {}

int TGLBitmapFont::textWidth(std::string_view utf8) {
    int widest = 0;
    int line = 0;
    for (char32_t c : utf8CodePoints(utf8)) {
        if (c == U'\n') {
            line = 0;
            continue;
        }
        line += glyph(c).advance;
        widest = std::max(widest, line);
    }
    return widest;
}

const GlyphInfo& TGLBitmapFont::glyph(char32_t character) {
    auto found = m_glyphs.find(character);
    if (found != m_glyphs.end())
        return found->second;
    GlyphBitmap bitmap = m_rasterizer.render(m_style, character);
    const Image& image = bitmap.image;
    if (!image.empty() &&
        image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4)
        throw std::invalid_argument("glyph " + codePointName(character) + " of font " + m_name +
                                    " has a bitmap whose size does not match its pixels");
    pack(character, bitmap);
    return m_glyphs.at(character);
}

void TGLBitmapFont::pack(char32_t character, const GlyphBitmap& bitmap) {
    GlyphInfo info;
    info.advance = bitmap.advance;
    info.left = bitmap.left;
    info.top = bitmap.top;
    const Image& image = bitmap.image;
    if (image.empty()) { // a space: it only moves the pen
        m_glyphs.emplace(character, info);
        return;
    }
    if (image.width + 2 * kPadding > kMaxAtlasSide || image.height + 2 * kPadding > kMaxAtlasSide)
        throw std::invalid_argument("glyph " + codePointName(character) + " of font " + m_name +
                                    " is too large for a font atlas");
    // Shelf packing: glyphs go left to right on the current shelf, then on a new shelf below;
    // when neither has room the atlas doubles (widening lengthens the current shelf).
    for (;;) {
        if (m_penX + image.width + kPadding <= m_atlas.width &&
            m_penY + image.height + kPadding <= m_atlas.height)
            break;
        const int shelfY = m_penY + m_rowHeight + kPadding;
        if (m_penX > kPadding && image.width + 2 * kPadding <= m_atlas.width &&
            shelfY + image.height + kPadding <= m_atlas.height) {
            m_penX = kPadding;
            m_penY = shelfY;
            m_rowHeight = 0;
            break;
        }
        growAtlas();
    }
    info.atlasX = m_penX;
    info.atlasY = m_penY;
    info.width = image.width;
    info.height = image.height;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            m_atlas.pixel(m_penX + x, m_penY + y)[3] = image.pixel(x, y)[3];
    m_penX += image.width + kPadding;
    m_rowHeight = std::max(m_rowHeight, image.height);
    m_glyphs.emplace(character, info);
    ++m_revision;
}

void TGLBitmapFont::growAtlas() {
    // Double the shorter side first so the atlas stays close to square.
    const bool wider = m_atlas.width <= m_atlas.height;
    const int width = wider ? m_atlas.width * 2 : m_atlas.width;
    const int height = wider ? m_atlas.height : m_atlas.height * 2;
    if (width > kMaxAtlasSide || height > kMaxAtlasSide)
        throw std::length_error("font atlas of " + m_name + " cannot grow any further");
    Image grown = blankAtlas(width, height);
    for (int y = 0; y < m_atlas.height; ++y)
        std::copy_n(m_atlas.pixel(0, y), static_cast<std::size_t>(m_atlas.width) * 4,
                    grown.pixel(0, y));
    m_atlas = std::move(grown);
    ++m_revision;
}

std::u32string utf8CodePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = byteAt(i);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t value = 0;
        // The allowed range of the second byte excludes overlong forms, surrogates and values
        // above U+10FFFF, so a malformed sequence is cut at its first offending byte.
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            value = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            value = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool valid = true;
        for (int k = 0; k < extra; ++k, ++j) {
            const unsigned char lo = k == 0 ? low : 0x80;
            const unsigned char hi = k == 0 ? high : 0xBF;
            if (j >= text.size() || byteAt(j) < lo || byteAt(j) > hi) {
                valid = false;
                break;
            }
            value = (value << 6) | (byteAt(j) & 0x3F);
        }
        out.push_back(valid ? value : U'\uFFFD');
        i = j;
    }
    return out;
}

} // namespace cantorix::scene
