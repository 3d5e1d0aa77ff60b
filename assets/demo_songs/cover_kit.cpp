#include "cover_kit.h"

#include "../paint_kit.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>

namespace cantorix::assets::demo {

QImage coverCanvas(const QColor& top, const QColor& bottom) {
    QImage image(kCoverSize, kCoverSize, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, kCoverSize);
    sky.setColorAt(0.0, top);
    sky.setColorAt(1.0, bottom);
    p.fillRect(image.rect(), sky);
    return image;
}

void paintStars(QPainter& p, std::uint32_t seed, double bottom, int count) {
    Random random(seed);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        const QPointF c(random.next() * kCoverSize, random.next() * bottom);
        const double r = 0.6 + random.next() * 1.4;
        p.setBrush(QColor(255, 236, 210, int(90 + random.next() * 140)));
        p.drawEllipse(c, r, r);
    }
}

void paintCoverTitle(QPainter& p, const QString& title) {
    QLinearGradient foot(0, 430, 0, kCoverSize);
    foot.setColorAt(0.0, QColor(8, 3, 14, 0));
    foot.setColorAt(1.0, QColor(8, 3, 14, 200));
    p.fillRect(QRectF(0, 430, kCoverSize, kCoverSize - 430), foot);
    const QPainterPath word = textPath(title, captionFont(52, 1.5), QRectF(0, 468, kCoverSize, 70));
    paintGlow(p, word, QColor(255, 120, 60), 9, 0.9);
    p.fillPath(word.translated(0, 2), QColor(30, 8, 20, 170));
    QLinearGradient ink(0, 478, 0, 530);
    ink.setColorAt(0.0, palette::kCream);
    ink.setColorAt(1.0, palette::kGold);
    p.fillPath(word, ink);
    const QPainterPath artist = textPath(QStringLiteral("C A N T O R I X"), captionFont(17, 1),
                                         QRectF(0, 545, kCoverSize, 24));
    p.fillPath(artist, QColor(255, 190, 130, 200));
}

void addCoverGrain(QImage& image, std::uint32_t seed) {
    Random random(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = static_cast<int>((random.next() - 0.5) * 3.0);
            const QRgb px = line[x];
            line[x] = qRgb(std::clamp(qRed(px) + n, 0, 255), std::clamp(qGreen(px) + n, 0, 255),
                           std::clamp(qBlue(px) + n, 0, 255));
        }
    }
}

} // namespace cantorix::assets::demo
