#pragma once
// Shared palette and painting helpers of the picture generator: blur, glowing captions, the
// dark rounded plates the buttons are made of. Build-time tool; single thread.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <cstdint>

class QPainter;

namespace cantorix::assets {

// The game's look: deep indigo and aubergine with warm stage-light highlights.
namespace palette {
inline const QColor kNight{20, 11, 34};
inline const QColor kIndigo{32, 17, 56};
inline const QColor kAubergine{52, 20, 62};
inline const QColor kPlum{92, 38, 88};
inline const QColor kAmber{255, 179, 71};
inline const QColor kGold{255, 214, 130};
inline const QColor kEmber{255, 122, 61};
inline const QColor kRose{255, 94, 126};
inline const QColor kCream{255, 243, 224};
} // namespace palette

// A transparent premultiplied ARGB picture, the canvas everything is painted on.
QImage blankImage(int width, int height);

// Three box-blur passes (close to a Gaussian) over all four channels, in place.
void blurImage(QImage& image, int radius);

// Bold caption face; the game's text is Liberation Sans, so the art matches it.
QFont captionFont(int pixelSize, double letterSpacing = 0.0);

// The outline of text centred in rect, for filling with gradients and for glows.
QPainterPath textPath(const QString& text, const QFont& font, const QRectF& rect);

// Fills path with a soft halo of the given colour (the path's shape blurred by radius).
void paintGlow(QPainter& painter, const QPainterPath& path, const QColor& colour, int radius,
               double strength = 1.0);

// The dark rounded plate of every button: aubergine body, warm rim, inner glow and gloss.
void paintPlate(QPainter& painter, const QPainterPath& shape, double rimWidth);

// A cream-to-amber filled symbol or caption with a dark shadow and a warm glow.
void paintGlowingShape(QPainter& painter, const QPainterPath& shape, int glowRadius);

// Deterministic, so every build draws the same pictures.
class Random {
public:
    explicit Random(std::uint32_t seed) : m_state(seed) {}
    double next() { // 0 … 1
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return (m_state & 0xffffff) / double(0x1000000);
    }

private:
    std::uint32_t m_state;
};

// A round glow fading to clear; squash flattens it vertically.
void fillRadial(QPainter& p, QPointF centre, double radius, const QColor& colour,
                double squash = 1.0);

// Button pictures have no partial transparency: the game keys out the colour of the top-left
// pixel and alpha-tests the rest. Pixels at least half covered become opaque (their own colour,
// no fringe), the others become the key colour with alpha 0.
QImage keyedImage(const QImage& art, const QColor& key);

} // namespace cantorix::assets
