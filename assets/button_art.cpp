#include "button_art.h"

#include "paint_kit.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>

namespace cantorix::assets {

namespace {

QPainterPath roundedRect(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

constexpr double kCaptionSpacing = 0.05; // letter spacing per pixel of type size

QPainterPath caption(const QString& text, int size, const QRectF& rect) {
    return textPath(text, captionFont(size, size * kCaptionSpacing), rect);
}

// The largest type size at which text fits maxWidth x maxHeight.
int fittedSize(const QString& text, double maxWidth, double maxHeight) {
    const QRectF ink = caption(text, 100, QRectF()).boundingRect();
    return static_cast<int>(100 * std::min(maxWidth / ink.width(), maxHeight / ink.height()));
}

// A soft warm light behind the caption, kept inside the plate.
void paintSpotlight(QPainter& painter, const QPainterPath& plate, double strength) {
    const QRectF box = plate.boundingRect();
    painter.save();
    painter.setClipPath(plate);
    QRadialGradient light(box.center(), box.height() * 0.75);
    light.setColorAt(0.0, QColor(255, 160, 80, static_cast<int>(90 * strength)));
    light.setColorAt(1.0, QColor(255, 160, 80, 0));
    painter.fillRect(box, light);
    painter.restore();
}

QImage finish(const QImage& art) {
    return keyedImage(art, kKeyColour);
}

} // namespace

QImage startButton() {
    QImage art = blankImage(360, 256);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath plate = roundedRect(QRectF(4, 3, 351, 171), 30);
    paintPlate(p, plate, 4.0);
    paintSpotlight(p, plate, 1.0);
    p.setPen(QPen(QColor(255, 190, 110, 70), 1.2));
    p.drawPath(roundedRect(QRectF(13, 12, 333, 153), 22));
    const QString text = QStringLiteral("START");
    paintGlowingShape(p, caption(text, fittedSize(text, 270, 74), plate.boundingRect()), 7);
    p.end();
    return finish(art);
}

QImage menuButton(const char* label) {
    QImage art = blankImage(185, 100);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath plate = roundedRect(QRectF(3, 3, 165, 74), 16);
    paintPlate(p, plate, 3.0);
    paintSpotlight(p, plate, 0.8);
    // One type size for the whole row of buttons: the one at which the longest caption fits.
    const int size = fittedSize(QStringLiteral("OPTIONS"), 128, 27);
    const QPainterPath text = caption(QString::fromLatin1(label), size, plate.boundingRect());
    paintGlowingShape(p, text, 4);
    p.end();
    return finish(art);
}

QImage arrowButton(ArrowDirection direction) {
    QImage art = blankImage(40, 40);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    // The right arrow's button shows less of its picture (larger x offset), so it is narrower.
    const bool left = direction == ArrowDirection::Left;
    const double tip = left ? 3.0 : 15.5, back = left ? 16.5 : 2.5;
    QPainterPath arrow;
    arrow.moveTo(tip, 12.0);
    arrow.lineTo(back, 2.5);
    arrow.lineTo(back, 21.5);
    arrow.closeSubpath();
    p.strokePath(arrow, QPen(QColor(12, 4, 16), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.strokePath(arrow, QPen(QColor(200, 80, 40), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient fill(QPointF(0, 2), QPointF(0, 22));
    fill.setColorAt(0.0, palette::kCream);
    fill.setColorAt(0.5, palette::kGold);
    fill.setColorAt(1.0, palette::kEmber);
    p.fillPath(arrow, fill);
    p.end();
    return finish(art);
}

namespace {

QPainterPath transportShape(TransportSymbol symbol, QPointF c) {
    QPainterPath path;
    switch (symbol) {
    case TransportSymbol::Play:
        path.moveTo(c.x() - 8, c.y() - 13);
        path.lineTo(c.x() + 14, c.y());
        path.lineTo(c.x() - 8, c.y() + 13);
        path.closeSubpath();
        break;
    case TransportSymbol::Pause:
        path.addRoundedRect(QRectF(c.x() - 11, c.y() - 13, 8, 26), 2, 2);
        path.addRoundedRect(QRectF(c.x() + 3, c.y() - 13, 8, 26), 2, 2);
        break;
    case TransportSymbol::Rewind: // back to the start: a bar and two triangles
        path.addRoundedRect(QRectF(c.x() - 15, c.y() - 11, 4, 22), 1.5, 1.5);
        for (double tipX : {c.x() - 11.0, c.x() + 1.0}) {
            QPainterPath triangle;
            triangle.moveTo(tipX, c.y());
            triangle.lineTo(tipX + 13, c.y() - 11);
            triangle.lineTo(tipX + 13, c.y() + 11);
            triangle.closeSubpath();
            path = path.united(triangle);
        }
        break;
    }
    return path;
}

} // namespace

QImage transportButton(TransportSymbol symbol) {
    QImage art = blankImage(65, 64);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(30, 30);
    QPainterPath plate;
    plate.addEllipse(centre, 26.5, 26.5);
    paintPlate(p, plate, 3.0);
    paintSpotlight(p, plate, 0.9);
    paintGlowingShape(p, transportShape(symbol, centre), 3);
    p.end();
    return finish(art);
}

} // namespace cantorix::assets
