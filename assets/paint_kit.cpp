#include "paint_kit.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <vector>

namespace cantorix::assets {

namespace {

// One box-blur pass along a line of count pixels, step apart, treating the outside as clear.
void blurLine(QRgb* line, int count, int step, int radius, std::vector<QRgb>& scratch) {
    scratch.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        scratch[static_cast<std::size_t>(i)] = line[i * step];
    const int window = 2 * radius + 1;
    std::array<int, 4> sum{};
    auto add = [&](int index, int sign) {
        if (index < 0 || index >= count)
            return;
        const QRgb p = scratch[static_cast<std::size_t>(index)];
        sum[0] += sign * qRed(p);
        sum[1] += sign * qGreen(p);
        sum[2] += sign * qBlue(p);
        sum[3] += sign * qAlpha(p);
    };
    for (int i = -radius; i < radius; ++i)
        add(i, 1);
    for (int i = 0; i < count; ++i) {
        add(i + radius, 1);
        line[i * step] = qRgba(sum[0] / window, sum[1] / window, sum[2] / window, sum[3] / window);
        add(i - radius, -1);
    }
}

} // namespace

QImage blankImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void blurImage(QImage& image, int radius) {
    if (radius <= 0)
        return;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<QRgb> scratch;
    const int w = image.width(), h = image.height();
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            blurLine(reinterpret_cast<QRgb*>(image.scanLine(y)), w, 1, radius, scratch);
        auto* first = reinterpret_cast<QRgb*>(image.bits());
        const int stride = static_cast<int>(image.bytesPerLine() / 4);
        for (int x = 0; x < w; ++x)
            blurLine(first + x, h, stride, radius, scratch);
    }
}

QFont captionFont(int pixelSize, double letterSpacing) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QPainterPath textPath(const QString& text, const QFont& font, const QRectF& rect) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    // Centre the ink, not the advance box: caps have no descenders to balance.
    const QRectF ink = path.boundingRect();
    path.translate(rect.center() - ink.center());
    return path;
}

void paintGlow(QPainter& painter, const QPainterPath& path, const QColor& colour, int radius,
               double strength) {
    const QRect area = path.boundingRect().toAlignedRect().adjusted(-3 * radius, -3 * radius,
                                                                    3 * radius, 3 * radius);
    QImage layer = blankImage(area.width(), area.height());
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-area.topLeft());
        p.fillPath(path, colour);
    }
    blurImage(layer, radius);
    painter.save();
    painter.setOpacity(std::min(1.0, strength));
    painter.drawImage(area.topLeft(), layer);
    if (strength > 1.0) { // a second, fainter copy makes the halo denser near the shape
        painter.setOpacity(strength - 1.0);
        painter.drawImage(area.topLeft(), layer);
    }
    painter.restore();
}

void paintPlate(QPainter& painter, const QPainterPath& shape, double rimWidth) {
    const QRectF box = shape.boundingRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient body(box.topLeft(), box.bottomLeft());
    body.setColorAt(0.0, QColor(104, 42, 96));
    body.setColorAt(0.45, palette::kAubergine);
    body.setColorAt(1.0, QColor(22, 9, 30));
    painter.fillPath(shape, body);

    painter.setClipPath(shape);
    QRadialGradient warmth(QPointF(box.center().x(), box.bottom()), box.width() * 0.6);
    warmth.setColorAt(0.0, QColor(255, 130, 60, 70));
    warmth.setColorAt(1.0, QColor(255, 130, 60, 0));
    painter.fillRect(box, warmth);
    QLinearGradient gloss(box.topLeft(), QPointF(box.left(), box.top() + box.height() * 0.5));
    gloss.setColorAt(0.0, QColor(255, 235, 255, 60));
    gloss.setColorAt(1.0, QColor(255, 235, 255, 0));
    painter.fillRect(QRectF(box.left(), box.top(), box.width(), box.height() * 0.5), gloss);
    painter.setClipping(false);

    // A dark outer line under the warm rim keeps the hard keyed edge clean on any background.
    painter.strokePath(shape, QPen(QColor(12, 4, 16), rimWidth + 2.0));
    QLinearGradient rim(box.topLeft(), box.bottomLeft());
    rim.setColorAt(0.0, palette::kGold);
    rim.setColorAt(0.5, palette::kAmber);
    rim.setColorAt(1.0, QColor(200, 80, 40));
    painter.strokePath(shape, QPen(QBrush(rim), rimWidth));
    painter.restore();
}

void paintGlowingShape(QPainter& painter, const QPainterPath& shape, int glowRadius) {
    const QRectF box = shape.boundingRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintGlow(painter, shape, QColor(255, 150, 50), glowRadius, 1.3);
    painter.fillPath(shape.translated(0, std::max(1.0, box.height() * 0.04)),
                     QColor(30, 8, 20, 170));
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0.0, palette::kCream);
    fill.setColorAt(0.55, palette::kGold);
    fill.setColorAt(1.0, palette::kAmber);
    painter.fillPath(shape, fill);
    painter.strokePath(shape, QPen(QColor(130, 60, 20, 140), 1.0));
    painter.restore();
}

QImage keyedImage(const QImage& art, const QColor& key) {
    QImage out = art.convertToFormat(QImage::Format_ARGB32);
    const QRgb keyPixel = qRgba(key.red(), key.green(), key.blue(), 0);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qAlpha(p) >= 128 ? qRgba(qRed(p), qGreen(p), qBlue(p), 255) : keyPixel;
        }
    }
    return out;
}

void fillRadial(QPainter& p, QPointF centre, double radius, const QColor& colour, double squash) {
    p.save();
    p.translate(centre);
    p.scale(1.0, squash);
    QRadialGradient glow(QPointF(0, 0), radius);
    QColor clear = colour;
    clear.setAlpha(0);
    glow.setColorAt(0.0, colour);
    glow.setColorAt(1.0, clear);
    p.fillRect(QRectF(-radius, -radius, 2 * radius, 2 * radius), glow);
    p.restore();
}

} // namespace cantorix::assets
