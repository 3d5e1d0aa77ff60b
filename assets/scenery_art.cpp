#include "scenery_art.h"

#include "paint_kit.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTransform>
#include <algorithm>
#include <cstdint>

namespace cantorix::assets {

namespace {

// Two beamed quavers drawn in a 100 x 100 box, then mapped onto box.
QPainterPath beamedNotes(const QRectF& box) {
    QPainterPath notes;
    for (const QPointF head : {QPointF(22, 82), QPointF(72, 72)}) {
        QPainterPath ellipse;
        ellipse.addEllipse(QPointF(0, 0), 15.5, 10.5);
        notes.addPath(QTransform().translate(head.x(), head.y()).rotate(-25).map(ellipse));
    }
    notes.addRect(QRectF(31.5, 20, 5.5, 60));
    notes.addRect(QRectF(81.5, 10, 5.5, 60));
    QPolygonF beam;
    beam << QPointF(31.5, 18) << QPointF(87, 7) << QPointF(87, 21) << QPointF(31.5, 32);
    notes.addPolygon(beam);
    notes = notes.simplified();
    return QTransform()
        .translate(box.left(), box.top())
        .scale(box.width() / 100, box.height() / 100)
        .map(notes);
}

// Soft light cones from lamps above the top edge.
void paintBeams(QPainter& p, QSize size) {
    QImage layer = blankImage(size.width(), size.height());
    {
        QPainter b(&layer);
        b.setRenderHint(QPainter::Antialiasing);
        struct Beam {
            double top, topHalf, bottomLeft, bottomRight;
            QColor colour;
        };
        for (const Beam& beam : {Beam{95, 18, -10, 330, QColor(255, 184, 110, 62)},
                                 Beam{390, 14, 250, 520, QColor(255, 110, 170, 30)},
                                 Beam{735, 16, 660, 820, QColor(255, 184, 110, 58)}}) {
            QPolygonF cone;
            cone << QPointF(beam.top - beam.topHalf, -20) << QPointF(beam.top + beam.topHalf, -20)
                 << QPointF(beam.bottomRight, 730) << QPointF(beam.bottomLeft, 730);
            QLinearGradient fade(0, 0, 0, 680);
            QColor clear = beam.colour;
            clear.setAlpha(0);
            fade.setColorAt(0.0, beam.colour);
            fade.setColorAt(1.0, clear);
            QPainterPath path;
            path.addPolygon(cone);
            b.fillPath(path, fade);
        }
    }
    blurImage(layer, 14);
    p.drawImage(0, 0, layer);
    for (double x : {95.0, 735.0}) {
        fillRadial(p, QPointF(x, 0), 90, QColor(255, 200, 140, 110), 0.6);
        fillRadial(p, QPointF(x, 0), 26, QColor(255, 236, 200, 170), 0.7);
    }
    fillRadial(p, QPointF(390, 0), 70, QColor(255, 140, 190, 50), 0.6);
}

// Out-of-focus lights, only where no control or cover sits.
void paintBokeh(QPainter& p) {
    Random random(0x5eed);
    const QRectF busy(90, 205, 600, 345);
    int placed = 0;
    while (placed < 22) {
        const QPointF c(random.next() * 766, random.next() * 730);
        const double r = 5 + random.next() * 17;
        if (busy.adjusted(-r, -r, r, r).contains(c))
            continue;
        ++placed;
        const bool warm = random.next() < 0.7;
        QColor colour = warm ? QColor(255, 190, 120) : QColor(255, 110, 170);
        colour.setAlpha(static_cast<int>(14 + random.next() * 26));
        QRadialGradient disc(c, r);
        QColor edge = colour;
        edge.setAlpha(colour.alpha() / 3);
        disc.setColorAt(0.0, colour);
        disc.setColorAt(0.8, colour);
        disc.setColorAt(0.93, edge);
        disc.setColorAt(1.0, Qt::transparent);
        p.setPen(Qt::NoPen);
        p.setBrush(disc);
        p.drawEllipse(c, r, r);
    }
}

// A faint random grain: gradients this smooth band badly once saved as JPEG.
void addGrain(QImage& image, double amount) {
    Random random(0xfeed);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = static_cast<int>((random.next() - 0.5) * 2 * amount);
            const QRgb px = line[x];
            line[x] = qRgb(std::clamp(qRed(px) + n, 0, 255), std::clamp(qGreen(px) + n, 0, 255),
                           std::clamp(qBlue(px) + n, 0, 255));
        }
    }
}

} // namespace

QImage stageBackdrop() {
    QImage image(766, 730, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 730);
    sky.setColorAt(0.0, QColor(28, 15, 50));
    sky.setColorAt(0.45, QColor(40, 16, 52));
    sky.setColorAt(0.78, QColor(24, 10, 34));
    sky.setColorAt(1.0, QColor(14, 7, 22));
    p.fillRect(image.rect(), sky);
    fillRadial(p, QPointF(150, 330), 300, QColor(120, 30, 110, 40));
    fillRadial(p, QPointF(640, 140), 260, QColor(60, 40, 140, 46));
    fillRadial(p, QPointF(570, 365), 190, QColor(90, 40, 110, 34)); // halo behind the cover
    paintBeams(p, image.size());

    // The stage edge and the glow rising from the floor.
    QLinearGradient edge(0, 0, 766, 0);
    edge.setColorAt(0.0, QColor(255, 170, 110, 0));
    edge.setColorAt(0.5, QColor(255, 170, 110, 46));
    edge.setColorAt(1.0, QColor(255, 170, 110, 0));
    p.fillRect(QRectF(0, 598, 766, 1.5), edge);
    fillRadial(p, QPointF(383, 740), 520, QColor(255, 96, 70, 100), 0.32);
    fillRadial(p, QPointF(383, 735), 260, QColor(255, 180, 100, 85), 0.3);
    paintBokeh(p);

    QRadialGradient vignette(QPointF(383, 340), 560);
    vignette.setColorAt(0.55, QColor(0, 0, 0, 0));
    vignette.setColorAt(1.0, QColor(4, 0, 8, 150));
    p.fillRect(image.rect(), vignette);
    p.end();
    addGrain(image, 2.0);
    return image;
}

QImage fallbackCover() {
    QImage image(512, 512, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient ground(QPointF(256, 210), 380);
    ground.setColorAt(0.0, QColor(92, 34, 90));
    ground.setColorAt(0.55, QColor(40, 15, 54));
    ground.setColorAt(1.0, QColor(14, 6, 24));
    p.fillRect(image.rect(), ground);
    p.setBrush(Qt::NoBrush);
    for (int r = 64; r < 240; r += 8) { // record grooves
        p.setPen(QPen(QColor(255, 190, 130, r % 24 == 0 ? 26 : 12), 1.0));
        p.drawEllipse(QPointF(256, 210), r, r);
    }
    fillRadial(p, QPointF(256, 210), 150, QColor(255, 150, 70, 60));
    paintGlowingShape(p, beamedNotes(QRectF(150, 100, 210, 210)), 12);

    const QPainterPath word =
        textPath(QStringLiteral("Cantorix"), captionFont(66, 2), QRectF(0, 390, 512, 70));
    paintGlow(p, word, QColor(255, 120, 60), 8, 0.8);
    QLinearGradient ink(0, 395, 0, 455);
    ink.setColorAt(0.0, palette::kCream);
    ink.setColorAt(1.0, palette::kGold);
    p.fillPath(word, ink);
    const QPainterPath tag =
        textPath(QStringLiteral("K A R A O K E"), captionFont(17, 1), QRectF(0, 462, 512, 24));
    p.fillPath(tag, QColor(255, 190, 130, 200));
    p.end();
    addGrain(image, 1.5);
    return image;
}

QImage splashPicture() {
    QImage image(256, 128, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient disc(QPointF(52, 60), 40);
    disc.setColorAt(0.0, QColor(104, 42, 96));
    disc.setColorAt(1.0, QColor(40, 15, 54));
    p.setPen(QPen(palette::kAmber, 2.5));
    p.setBrush(disc);
    p.drawEllipse(QPointF(52, 60), 38, 38);
    paintGlowingShape(p, beamedNotes(QRectF(27, 34, 50, 50)), 3);
    const QPainterPath word =
        textPath(QStringLiteral("Cantorix"), captionFont(36, 0.5), QRectF(98, 36, 150, 40));
    p.fillPath(word, QColor(52, 20, 62));
    const QPainterPath loading =
        textPath(QStringLiteral("loading…"), captionFont(13, 1.5), QRectF(98, 78, 150, 18));
    p.fillPath(loading, QColor(200, 96, 44));
    return image;
}

QImage aboutLogo() {
    // Drawn four times larger and scaled down: cleaner than painting 49 x 41 directly.
    QImage big = blankImage(196, 164);
    {
        QPainter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath badge;
        badge.addRoundedRect(QRectF(6, 4, 184, 156), 36, 36);
        paintPlate(p, badge, 8.0);
        paintGlowingShape(p, beamedNotes(QRectF(48, 22, 110, 120)), 8);
    }
    return big.scaled(49, 41, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage appIcon(int size) {
    QImage big = blankImage(256, 256);
    {
        QPainter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        // Desktops draw icons on any colour: keep a transparent margin, as icon themes do.
        QPainterPath badge;
        badge.addRoundedRect(QRectF(16, 16, 224, 224), 44, 44);
        paintPlate(p, badge, 10.0);
        paintGlowingShape(p, beamedNotes(QRectF(64, 48, 128, 160)), 10);
    }
    return size == 256 ? big
                       : big.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace cantorix::assets
