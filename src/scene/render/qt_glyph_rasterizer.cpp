#include "qt_glyph_rasterizer.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <stdexcept>

namespace cantorix::scene::render {

namespace {

constexpr int kDefaultCellHeight = 16;
// Antialiasing may reach a pixel beyond the ink box Qt reports.
constexpr int kMargin = 2;
// Pixel size at which a face's cell-to-em ratio is measured: large enough to be precise.
constexpr int kReferencePixelSize = 100;

void requireGuiApplication() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw std::logic_error("fonts can only be rasterised once the application window "
                               "system is running");
}

} // namespace

QString QtGlyphRasterizer::familyFor(const std::string& face) {
    if (face == "Arial")
        return QStringLiteral("Liberation Sans"); // same metrics, so lyrics lay out alike
    if (face == "Digit")
        return QStringLiteral("DSEG7 Classic");
    if (face == "Lucida Sans" || face == "MS Sans Serif")
        return QStringLiteral("DejaVu Sans");
    return QString::fromStdString(face);
}

QFont QtGlyphRasterizer::fontFor(const FontSpec& style) {
    const Key key{style.face, style.height, style.bold};
    auto found = m_fonts.find(key);
    if (found != m_fonts.end())
        return found->second;
    requireGuiApplication();
    QFont font(familyFor(style.face));
    font.setBold(style.bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    int pixelSize = 0;
    if (style.height < 0) {
        pixelSize = -style.height;
    } else {
        const int cell = style.height == 0 ? kDefaultCellHeight : style.height;
        font.setPixelSize(kReferencePixelSize);
        const QFontMetricsF reference(font);
        const double referenceCell = reference.ascent() + reference.descent();
        pixelSize = referenceCell > 0
                        ? static_cast<int>(std::lround(cell * kReferencePixelSize / referenceCell))
                        : cell;
    }
    font.setPixelSize(std::max(pixelSize, 1));
    return m_fonts.emplace(key, font).first->second;
}

FontMetrics QtGlyphRasterizer::metrics(const FontSpec& style) {
    const QFontMetrics fm(fontFor(style));
    return FontMetrics{fm.ascent(), fm.descent(), fm.lineSpacing()};
}

GlyphBitmap QtGlyphRasterizer::render(const FontSpec& style, char32_t character) {
    const QFont font = fontFor(style);
    const QFontMetrics fm(font);
    const QString text = QString::fromUcs4(&character, 1);
    GlyphBitmap glyph;
    glyph.advance = fm.horizontalAdvance(text);
    const QRect ink = fm.tightBoundingRect(text); // relative to the pen on the baseline
    if (ink.isEmpty())
        return glyph;

    QImage canvas(ink.width() + 2 * kMargin, ink.height() + 2 * kMargin,
                  QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPointF(kMargin - ink.left(), kMargin - ink.top()), text);
    }
    glyph.left = ink.left() - kMargin;
    glyph.top = fm.ascent() + ink.top() - kMargin;
    glyph.image = Image(canvas.width(), canvas.height());
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            std::uint8_t* p = glyph.image.pixel(x, y);
            p[0] = p[1] = p[2] = 255;
            p[3] = static_cast<std::uint8_t>(qAlpha(row[x]));
        }
    }
    return glyph;
}

} // namespace cantorix::scene::render
