#pragma once
// Painting helpers shared by the demo song covers: skies, stars, glows, the title and the grain
// that keeps gradients from banding in JPEG. Build-time tool; main thread (fonts).

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>
#include <cstdint>

class QPainter;

namespace cantorix::assets::demo {

inline constexpr int kCoverSize = 600;

// Deterministic, so every build draws the same covers.
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

// A cover-sized picture filled with a vertical gradient.
QImage coverCanvas(const QColor& top, const QColor& bottom);

// Small warm dots scattered above the given height.
void paintStars(QPainter& p, std::uint32_t seed, double bottom, int count);

// The title in warm glowing letters over a darkened foot, the artist small beneath.
void paintCoverTitle(QPainter& p, const QString& title);

// Adds a faint grain, after all painting has ended.
void addCoverGrain(QImage& image, std::uint32_t seed);

} // namespace cantorix::assets::demo
