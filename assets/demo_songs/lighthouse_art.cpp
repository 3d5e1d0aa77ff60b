#include "../paint_kit.h"
#include "cover_art.h"
#include "cover_kit.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>

namespace cantorix::assets::demo {

namespace {

// A night sea from the horizon down, two lighthouses on either shore sending their beams to
// each other, on a picture of the given size.
void paintLighthouses(QPainter& p, double width, double height) {
    const double horizon = height * 0.58;
    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0.0, QColor(10, 14, 44));
    sky.setColorAt(1.0, QColor(48, 40, 92));
    p.fillRect(QRectF(0, 0, width, horizon), sky);
    paintStars(p, 0x2d0e, horizon - 40, int(width / 8));
    QLinearGradient sea(0, horizon, 0, height);
    sea.setColorAt(0.0, QColor(22, 26, 64));
    sea.setColorAt(1.0, QColor(6, 8, 22));
    p.fillRect(QRectF(0, horizon, width, height - horizon), sea);
    for (const double side : {0.18, 0.82}) {
        const double x = width * side;
        const double top = horizon - height * 0.30;
        const double lamp = top - 10;
        // The beam reaches over the water towards the other tower.
        const double reach = side < 0.5 ? width * 0.55 : -width * 0.55;
        QPolygonF beam;
        beam << QPointF(x, lamp) << QPointF(x + reach, lamp - 40) << QPointF(x + reach, lamp + 30);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 230, 160, 50));
        p.drawPolygon(beam);
        QPolygonF tower;
        tower << QPointF(x - 22, horizon + 8) << QPointF(x + 22, horizon + 8)
              << QPointF(x + 12, top) << QPointF(x - 12, top);
        p.setBrush(QColor(230, 220, 210));
        p.drawPolygon(tower);
        p.setBrush(QColor(170, 40, 50));
        for (int band = 1; band <= 2; ++band) {
            const double y = horizon + 8 - (horizon + 8 - top) * band / 3.0;
            p.drawRect(QRectF(x - 20 + band * 3, y - 10, 40 - band * 6, 14));
        }
        fillRadial(p, QPointF(x, lamp), 40, QColor(255, 220, 140, 160));
        p.setBrush(QColor(255, 240, 190));
        p.drawEllipse(QPointF(x, lamp), 8, 8);
        fillRadial(p, QPointF(x, horizon + 40), 60, QColor(255, 210, 130, 40));
    }
}

} // namespace

QImage lighthousesCover(const QString& title) {
    QImage image = coverCanvas(QColor(10, 14, 44), QColor(6, 8, 22));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paintLighthouses(p, kCoverSize, kCoverSize);
        paintCoverTitle(p, title);
    }
    addCoverGrain(image, 0x2d0e);
    return image;
}

QImage lighthousesBackground() {
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(QColor(6, 8, 22));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paintLighthouses(p, image.width(), image.height());
    }
    addCoverGrain(image, 0x2d0f);
    return image;
}

} // namespace cantorix::assets::demo
