#include "skin_art.h"

#include "paint_kit.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace cantorix::assets {

namespace {

// Shared by the form and the panel: their centre rectangles are the same pixels.
const QColor kSkinBody(26, 13, 38, 232);
const QColor kSkinDark(10, 4, 14, 200);

QPainterPath rounded(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// A one-pixel ring `inset` pixels inside box, so straight runs land exactly on pixel columns.
void ring(QPainter& p, const QRect& box, int inset, double radius, const QBrush& brush) {
    const QRectF r = QRectF(box).adjusted(inset + 0.5, inset + 0.5, -inset - 0.5, -inset - 0.5);
    p.strokePath(rounded(r, std::max(0.0, radius)), QPen(brush, 1.0));
}

void clearArea(QPainter& p, const QRect& area) {
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillRect(area, Qt::transparent);
    p.restore();
}

// Dark translucent body, a warm title band over the top 30 rows, a thin amber frame.
void paintForm(QPainter& p) {
    const QRect box(0, 0, 128, 128);
    const QPainterPath outline = rounded(box, 8);
    p.fillPath(outline, kSkinBody);
    p.save();
    p.setClipPath(outline);
    QLinearGradient band(0, 0, 0, 30);
    band.setColorAt(0.0, QColor(236, 152, 66));
    band.setColorAt(0.5, QColor(196, 98, 46));
    band.setColorAt(1.0, QColor(132, 50, 40));
    p.fillRect(QRect(0, 0, 128, 30), band);
    p.fillRect(QRect(0, 2, 128, 1), QColor(255, 222, 160, 110));
    p.fillRect(QRect(0, 29, 128, 1), QColor(48, 14, 26));
    p.restore();
    ring(p, box, 0, 7.5, QColor(226, 150, 72, 230));
    ring(p, box, 1, 6.5, kSkinDark);
}

// Three-pixel frame (amber, bronze, dark) around the body colour the form also uses.
void paintPanel(QPainter& p) {
    const QRect box(8, 62, 35, 35);
    clearArea(p, box);
    p.fillPath(rounded(box, 3), kSkinBody);
    ring(p, box, 0, 2.5, QColor(230, 152, 72, 235));
    ring(p, box, 1, 1.5, QColor(140, 70, 46, 235));
    ring(p, box, 2, 0.0, kSkinDark);
}

// A bevelled button face: raised (light top, lit rim) or pressed (shadowed top, darker face).
void paintButton(QPainter& p, const QRect& box, bool pressed) {
    clearArea(p, box);
    QLinearGradient face(0, box.top() + 1, 0, box.bottom());
    face.setColorAt(0.0, pressed ? QColor(30, 10, 32) : QColor(126, 54, 112));
    face.setColorAt(0.5, pressed ? QColor(46, 18, 46) : QColor(76, 28, 72));
    face.setColorAt(1.0, pressed ? QColor(74, 30, 70) : QColor(44, 15, 44));
    p.fillPath(rounded(QRectF(box).adjusted(1, 1, -1, -1), 2), face);
    QLinearGradient rim(0, box.top(), 0, box.bottom() + 1);
    rim.setColorAt(0.0, pressed ? QColor(150, 70, 40) : QColor(255, 200, 120));
    rim.setColorAt(1.0, pressed ? QColor(240, 160, 80) : QColor(170, 76, 40));
    ring(p, box, 1, 1.5, rim);
    ring(p, box, 0, 2.5, QColor(12, 4, 16));
    const int row = box.top() + 2;
    if (pressed) {
        p.fillRect(QRect(box.left() + 2, row, box.width() - 4, 1), QColor(0, 0, 0, 110));
        p.fillRect(QRect(box.left() + 2, row + 1, box.width() - 4, 1), QColor(0, 0, 0, 45));
    } else {
        p.fillRect(QRect(box.left() + 2, row, box.width() - 4, 1), QColor(255, 228, 190, 90));
    }
}

void paintCheckBox(QPainter& p, const QRect& box, bool checked) {
    clearArea(p, box);
    p.fillRect(box.adjusted(2, 2, -2, -2), QColor(30, 12, 36, 240));
    ring(p, box, 0, 1.5, QColor(230, 152, 72));
    ring(p, box, 1, 0.5, QColor(10, 4, 14));
    if (!checked)
        return;
    const QPointF o = box.topLeft();
    QPainterPath tick;
    tick.moveTo(o + QPointF(3.6, 7.2));
    tick.lineTo(o + QPointF(6.2, 9.8));
    tick.lineTo(o + QPointF(10.6, 4.0));
    p.strokePath(tick, QPen(palette::kGold, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void paintEdit(QPainter& p, const QRect& box) {
    clearArea(p, box);
    p.fillRect(box.adjusted(2, 2, -2, -2), QColor(250, 243, 230));
    ring(p, box, 0, 0.5, QColor(16, 6, 20));
    ring(p, box, 1, 0.0, QColor(150, 128, 118));
}

// A dark glass backdrop for the session read-outs.
void paintReadoutPanel(QPainter& p, const QRectF& box) {
    const QPainterPath shape = rounded(box.adjusted(1, 1, -1, -1), 14);
    QLinearGradient body(box.topLeft(), box.bottomLeft());
    body.setColorAt(0.0, QColor(46, 20, 64, 205));
    body.setColorAt(1.0, QColor(16, 7, 26, 220));
    p.fillPath(shape, body);
    p.save();
    p.setClipPath(shape);
    QLinearGradient sheen(box.topLeft(), QPointF(box.left(), box.top() + box.height() * 0.4));
    sheen.setColorAt(0.0, QColor(255, 230, 255, 34));
    sheen.setColorAt(1.0, QColor(255, 230, 255, 0));
    p.fillRect(box, sheen);
    p.restore();
    QLinearGradient rim(box.topLeft(), box.bottomLeft());
    rim.setColorAt(0.0, QColor(255, 190, 110, 170));
    rim.setColorAt(1.0, QColor(150, 60, 110, 110));
    p.strokePath(shape, QPen(QBrush(rim), 1.5));
}

double smoothStep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

} // namespace

QImage guiSkin() {
    QImage image = blankImage(128, 128);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paintForm(p);
    paintPanel(p);
    paintButton(p, QRect(41, 31, 16, 18), false);
    paintButton(p, QRect(58, 31, 16, 18), true);
    paintCheckBox(p, QRect(75, 31, 14, 14), true);
    paintCheckBox(p, QRect(75, 47, 14, 14), false);
    paintEdit(p, QRect(90, 47, 14, 14));
    return image;
}

QImage staffLineTexture() {
    QImage image(256, 8, QImage::Format_ARGB32);
    const QColor line(236, 218, 255);
    for (int y = 0; y < image.height(); ++y) {
        const double across = std::exp(-std::pow((y + 0.5 - 4.0) / 1.9, 2.0));
        for (int x = 0; x < image.width(); ++x) {
            const double along = smoothStep(0, 40, x + 0.5) * smoothStep(256, 216, x + 0.5);
            const double a = across * along;
            // The colour darkens with the alpha, so the line also looks right drawn opaque.
            QColor c = mix(palette::kNight, line, a);
            c.setAlphaF(static_cast<float>(a * 0.85));
            image.setPixelColor(x, y, c);
        }
    }
    return image;
}

QImage oscilloscopeTexture() {
    QImage image(8, 32, QImage::Format_ARGB32);
    const QColor core(255, 244, 214), rose(236, 70, 118), tail(70, 8, 54);
    for (int y = 0; y < image.height(); ++y) {
        const double t = std::abs(y + 0.5 - 16.0) / 16.0;
        QColor c = t < 0.35   ? mix(core, palette::kAmber, t / 0.35)
                   : t < 0.75 ? mix(palette::kAmber, rose, (t - 0.35) / 0.4)
                              : mix(rose, tail, (t - 0.75) / 0.25);
        for (int x = 0; x < image.width(); ++x) {
            const double side = 1.0 - 0.45 * std::abs(x + 0.5 - 4.0) / 4.0;
            image.setPixelColor(x, y, mix(Qt::black, c, side));
        }
    }
    return image;
}

QImage progressTexture() {
    QImage image = blankImage(256, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bar(0.5, 1.5, 255, 13);
    const QPainterPath shape = rounded(bar, 6);
    QLinearGradient colour(bar.topLeft(), bar.topRight());
    colour.setColorAt(0.0, QColor(255, 196, 86));
    colour.setColorAt(0.55, palette::kEmber);
    colour.setColorAt(1.0, QColor(250, 80, 124));
    p.fillPath(shape, colour);
    p.setClipPath(shape);
    QLinearGradient gloss(bar.topLeft(), bar.bottomLeft());
    gloss.setColorAt(0.0, QColor(255, 255, 255, 120));
    gloss.setColorAt(0.45, QColor(255, 255, 255, 20));
    gloss.setColorAt(0.55, QColor(0, 0, 0, 0));
    gloss.setColorAt(1.0, QColor(60, 0, 30, 90));
    p.fillRect(bar, gloss);
    p.setClipping(false);
    p.strokePath(shape, QPen(QColor(40, 10, 30, 200), 1.0));
    return image;
}

QImage clockPanel() {
    QImage image = blankImage(200, 100);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paintReadoutPanel(p, image.rect());
    return image;
}

QImage scopePanel() {
    QImage image = blankImage(260, 100);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paintReadoutPanel(p, image.rect());
    p.setClipPath(rounded(QRectF(image.rect()).adjusted(4, 4, -4, -4), 11));
    // The bars stand on a line 85 pixels down the panel, as the game places them.
    const QColor grid(255, 200, 150, 20);
    for (int x = 10; x < 260; x += 20)
        p.fillRect(QRect(x, 0, 1, 100), grid);
    for (int y = 85 % 20; y < 100; y += 20)
        p.fillRect(QRect(0, y, 260, 1), grid);
    p.fillRect(QRect(0, 85, 260, 1), QColor(255, 170, 80, 70));
    return image;
}

} // namespace cantorix::assets
