#include "cover_art.h"

#include "../paint_kit.h"
#include "cover_kit.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace cantorix::assets::demo {

namespace {

QPainterPath lanternGlass() {
    QPainterPath glass;
    glass.addRoundedRect(QRectF(248, 178, 104, 150), 22, 22);
    return glass;
}

void paintLantern(QPainter& p) {
    fillRadial(p, QPointF(300, 250), 260, QColor(255, 150, 60, 90));
    fillRadial(p, QPointF(300, 250), 120, QColor(255, 200, 120, 90));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(palette::kGold, 6));
    p.drawArc(QRectF(268, 96, 64, 64), 0, 180 * 16);
    QPainterPath cap;
    cap.addPolygon(
        QPolygonF({QPointF(236, 180), QPointF(364, 180), QPointF(336, 140), QPointF(264, 140)}));
    cap.closeSubpath();
    paintPlate(p, cap, 3.0);
    const QPainterPath glass = lanternGlass();
    paintGlow(p, glass, QColor(255, 170, 70), 16, 1.4);
    QRadialGradient flame(QPointF(300, 262), 90);
    flame.setColorAt(0.0, QColor(255, 250, 225));
    flame.setColorAt(0.35, palette::kGold);
    flame.setColorAt(1.0, palette::kEmber);
    p.fillPath(glass, flame);
    p.setPen(QPen(QColor(70, 28, 40, 200), 5));
    for (double x : {283.0, 317.0})
        p.drawLine(QPointF(x, 180), QPointF(x, 326));
    p.strokePath(glass, QPen(palette::kAmber, 4));
    QPainterPath base;
    base.addRoundedRect(QRectF(240, 326, 120, 22), 6, 6);
    paintPlate(p, base, 3.0);
}

void paintSparks(QPainter& p, std::uint32_t seed) {
    Random random(seed);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 26; ++i) {
        const double angle = random.next() * 2 * std::numbers::pi;
        const double distance = 150 + random.next() * 150;
        const QPointF c(300 + std::cos(angle) * distance, 250 + std::sin(angle) * distance * 0.8);
        fillRadial(p, c, 4 + random.next() * 9,
                   QColor(255, 200, 120, int(60 + random.next() * 120)));
    }
}

// A string of bulbs sagging between two posts, each with its own halo.
void paintLightString(QPainter& p, QPointF from, QPointF to, double sag, int bulbs) {
    QPainterPath wire(from);
    const QPointF middle((from.x() + to.x()) / 2, std::max(from.y(), to.y()) + sag);
    wire.quadTo(middle, to);
    p.strokePath(wire, QPen(QColor(20, 8, 20), 2.0));
    const QColor colours[] = {palette::kGold, palette::kRose, palette::kAmber, palette::kCream};
    for (int i = 1; i < bulbs; ++i) {
        const QPointF c = wire.pointAtPercent(double(i) / bulbs);
        const QColor colour = colours[i % 4];
        QColor halo = colour;
        halo.setAlpha(90);
        fillRadial(p, c, 22, halo);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(c + QPointF(0, 5), 4.5, 5.5);
    }
}

// Lamps along the pier and their broken reflections on the water below.
void paintPierLamps(QPainter& p, double horizon) {
    Random random(0x4a7b);
    for (int i = 0; i < 9; ++i) {
        const double x = 40 + i * 65 + random.next() * 20;
        fillRadial(p, QPointF(x, horizon - 14), 26, QColor(255, 200, 120, 150));
        p.setPen(Qt::NoPen);
        p.setBrush(palette::kCream);
        p.drawEllipse(QPointF(x, horizon - 14), 3, 3);
        // Ripples spread further apart and break up more towards the viewer.
        double y = horizon + 6;
        for (int k = 0; k < 9; ++k) {
            y += 7 + k * 2.2 + random.next() * 4;
            const double w = 6 + random.next() * (30 - k * 2);
            const double drift = (random.next() - 0.5) * (6 + k * 3);
            p.setBrush(QColor(255, 180, 100, int(160 - k * 15)));
            p.drawRoundedRect(QRectF(x - w / 2 + drift, y, w, 2 + k * 0.25), 1, 1);
        }
    }
    p.fillRect(QRectF(0, horizon - 6, kCoverSize, 6), QColor(16, 6, 20));
}

void paintBoat(QPainter& p, double horizon) {
    QPainterPath hull;
    hull.moveTo(330, horizon - 22);
    hull.lineTo(470, horizon - 22);
    hull.quadTo(460, horizon - 4, 440, horizon - 2);
    hull.lineTo(350, horizon - 2);
    hull.closeSubpath();
    QPainterPath sail;
    sail.addPolygon(QPolygonF(
        {QPointF(402, horizon - 150), QPointF(402, horizon - 30), QPointF(458, horizon - 30)}));
    sail.closeSubpath();
    const QColor shade(14, 6, 18);
    p.fillPath(hull, shade);
    p.fillPath(sail, QColor(40, 16, 44));
    p.setPen(QPen(shade, 3));
    p.drawLine(QPointF(398, horizon - 160), QPointF(398, horizon - 22));
    fillRadial(p, QPointF(380, horizon - 30), 10, QColor(255, 220, 150, 200));
}

QPointF kiteTail(QPointF c, double size, double turn) {
    return QTransform().translate(c.x(), c.y()).rotate(turn).map(QPointF(0, size * 1.1));
}

// A diamond kite of four coloured panels with its cross spars, centred on c and turned.
void paintKite(QPainter& p, QPointF c, double size, double turn, const QColor& a, const QColor& b) {
    p.save();
    p.translate(c);
    p.rotate(turn);
    const QPointF top(0, -size), right(size * 0.7, -size * 0.2), bottom(0, size * 1.1),
        left(-size * 0.7, -size * 0.2), centre(0, -size * 0.2);
    const QPolygonF panels[] = {
        {top, right, centre}, {right, bottom, centre}, {bottom, left, centre}, {left, top, centre}};
    QPainterPath outline;
    outline.addPolygon(QPolygonF({top, right, bottom, left}));
    outline.closeSubpath();
    paintGlow(p, outline, QColor(255, 140, 60), 10, 0.8);
    for (int i = 0; i < 4; ++i) {
        QPainterPath panel;
        panel.addPolygon(panels[i]);
        panel.closeSubpath();
        p.fillPath(panel, i % 2 ? b : a);
    }
    p.setPen(QPen(QColor(60, 20, 30, 220), 2.5));
    p.drawLine(top, bottom);
    p.drawLine(left, right);
    p.restore();
}

// The kite's string curving down to the hill, and a ribbon tail with bows.
void paintKiteLines(QPainter& p, QPointF tail, QPointF anchor, double sway) {
    QPainterPath string(tail);
    string.cubicTo(tail + QPointF(sway, 120), anchor + QPointF(-sway, -140), anchor);
    p.strokePath(string, QPen(QColor(255, 220, 180, 110), 1.3));
    QPainterPath ribbon(tail);
    ribbon.cubicTo(tail + QPointF(-40, 30), tail + QPointF(30, 60), tail + QPointF(-10, 100));
    p.strokePath(ribbon, QPen(QColor(255, 190, 130, 200), 2.0));
    p.setPen(Qt::NoPen);
    p.setBrush(palette::kRose);
    for (double at : {0.3, 0.6, 0.9}) {
        const QPointF c = ribbon.pointAtPercent(at);
        p.drawPolygon(QPolygonF({c, c + QPointF(-8, -5), c + QPointF(-8, 5)}));
        p.drawPolygon(QPolygonF({c, c + QPointF(8, -5), c + QPointF(8, 5)}));
    }
}

} // namespace

QImage lanternCover(const QString& title) {
    QImage image = coverCanvas(QColor(22, 12, 40), QColor(48, 18, 52));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paintStars(p, 0x1a7e, 260, 60);
        // Dawn rising behind the horizon.
        fillRadial(p, QPointF(300, 470), 420, QColor(255, 96, 70, 120), 0.35);
        fillRadial(p, QPointF(300, 455), 240, QColor(255, 180, 100, 110), 0.3);
        paintSparks(p, 0x5a12);
        paintLantern(p);
        paintCoverTitle(p, title);
    }
    addCoverGrain(image, 0x1a7e);
    return image;
}

QImage harbourCover(const QString& title) {
    constexpr double kHorizon = 330;
    QImage image = coverCanvas(QColor(14, 10, 36), QColor(10, 5, 20));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, 0, kHorizon);
        sky.setColorAt(0.0, QColor(16, 12, 44));
        sky.setColorAt(1.0, QColor(70, 24, 70));
        p.fillRect(QRectF(0, 0, kCoverSize, kHorizon), sky);
        paintStars(p, 0x4a7b, kHorizon - 60, 70);
        fillRadial(p, QPointF(300, kHorizon), 380, QColor(255, 110, 80, 70), 0.3);
        QLinearGradient water(0, kHorizon, 0, kCoverSize);
        water.setColorAt(0.0, QColor(34, 14, 46));
        water.setColorAt(1.0, QColor(8, 4, 16));
        p.fillRect(QRectF(0, kHorizon, kCoverSize, kCoverSize - kHorizon), water);
        paintPierLamps(p, kHorizon);
        paintBoat(p, kHorizon);
        paintLightString(p, QPointF(-20, 70), QPointF(620, 120), 90, 15);
        paintCoverTitle(p, title);
    }
    addCoverGrain(image, 0x4a7b);
    return image;
}

QImage kitesCover(const QString& title) {
    QImage image = coverCanvas(QColor(18, 10, 40), QColor(70, 26, 66));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paintStars(p, 0x6b17, 420, 90);
        fillRadial(p, QPointF(470, 110), 160, QColor(255, 190, 120, 70));
        QPainterPath hill(QPointF(0, 470));
        hill.quadTo(QPointF(320, 380), QPointF(kCoverSize, 450));
        hill.lineTo(kCoverSize, kCoverSize);
        hill.lineTo(0, kCoverSize);
        hill.closeSubpath();
        fillRadial(p, QPointF(300, 430), 300, QColor(255, 120, 70, 80), 0.35);
        p.fillPath(hill, QColor(16, 6, 20));
        const QPointF anchor(290, 418);
        struct Kite {
            QPointF centre;
            double size, turn, sway;
            QColor a, b;
        };
        const Kite kites[] = {{{180, 170}, 70, -14, 30, palette::kAmber, palette::kRose},
                              {{420, 110}, 56, 12, -40, palette::kGold, palette::kEmber},
                              {{330, 272}, 44, -4, 20, palette::kCream, palette::kPlum}};
        for (const Kite& kite : kites)
            paintKiteLines(p, kiteTail(kite.centre, kite.size, kite.turn), anchor, kite.sway);
        for (const Kite& kite : kites)
            paintKite(p, kite.centre, kite.size, kite.turn, kite.a, kite.b);
        paintCoverTitle(p, title);
    }
    addCoverGrain(image, 0x6b17);
    return image;
}

} // namespace cantorix::assets::demo
