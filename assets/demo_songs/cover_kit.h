#pragma once
// Painting helpers shared by the demo song covers: skies, stars, glows, the title and the grain
// that keeps gradients from banding in JPEG. Build-time tool; main thread (fonts).

#include "paint_kit.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>
#include <cstdint>

class QPainter;

namespace cantorix::assets::demo {

inline constexpr int kCoverSize = 600;

// A cover-sized picture filled with a vertical gradient.
QImage coverCanvas(const QColor& top, const QColor& bottom);

// Small warm dots scattered above the given height.
void paintStars(QPainter& p, std::uint32_t seed, double bottom, int count);

// The title in warm glowing letters over a darkened foot, the artist small beneath.
void paintCoverTitle(QPainter& p, const QString& title);

// Adds a faint grain, after all painting has ended.
void addCoverGrain(QImage& image, std::uint32_t seed);

} // namespace cantorix::assets::demo
