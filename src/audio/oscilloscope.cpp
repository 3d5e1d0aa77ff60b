#include "oscilloscope.h"

#include "audio_control_source.h"

#include <QPainter>
#include <QPolygon>

namespace cantorix::audio {

QColor colourFromValue(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

TdeOscilloscope::TdeOscilloscope(QWidget* parent)
    : QWidget(parent), m_penLeft(solidPen(Qt::black)), m_penRight(solidPen(Qt::black)) {}

TdeOscilloscope::~TdeOscilloscope() {
    setSource(nullptr);
}

QPen TdeOscilloscope::solidPen(const QColor& colour) {
    QPen pen(colour);
    pen.setStyle(Qt::SolidLine);
    pen.setWidth(1);
    return pen;
}

void TdeOscilloscope::setSource(TdeAudioControlSource* source) {
    if (m_source)
        m_source->removeDataListener(m_listener);
    m_source = source;
    m_listener = -1;
    if (m_source)
        m_listener = m_source->addDataListener([this](const TdeAudioControlSource& s) {
            setChannels({s.left().begin(), s.left().end()}, {s.right().begin(), s.right().end()});
        });
}

void TdeOscilloscope::setChannels(std::vector<std::int16_t> left, std::vector<std::int16_t> right) {
    m_left = std::move(left);
    m_right = std::move(right);
    update();
}

void TdeOscilloscope::setNumberOfPoints(int points) {
    m_numberOfPoints = points;
    update();
}

void TdeOscilloscope::setOrientation(TOscilloscopeOrientation orientation) {
    m_orientation = orientation;
    update();
}

void TdeOscilloscope::setLayout(TOscilloscopeLayout layout) {
    m_layout = layout;
    update();
}

void TdeOscilloscope::setPenLeft(const QColor& colour) {
    m_penLeft = solidPen(colour);
    update();
}

void TdeOscilloscope::setPenRight(const QColor& colour) {
    m_penRight = solidPen(colour);
    update();
}

void TdeOscilloscope::setTransparent(bool transparent) {
    m_transparent = transparent;
    setAttribute(Qt::WA_NoSystemBackground, transparent);
    update();
}

void TdeOscilloscope::setColor(const QColor& colour) {
    m_colour = colour;
    update();
}

std::vector<std::vector<ScopePoint>> TdeOscilloscope::polylines() const {
    const ChannelAreas areas = channelAreas(m_layout, {0, 0, width(), height()});
    std::vector<std::vector<ScopePoint>> lines;
    if (areas.left)
        lines.push_back(channelPolyline(m_left, m_numberOfPoints, *areas.left, m_orientation));
    if (areas.right)
        lines.push_back(channelPolyline(m_right, m_numberOfPoints, *areas.right, m_orientation));
    return lines;
}

void TdeOscilloscope::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), m_colour);
    const auto lines = polylines();
    const bool rightOnly = m_layout == TOscilloscopeLayout::olRightChannel;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        QPolygon polygon;
        for (const ScopePoint& p : lines[i])
            polygon << QPoint(p.x, p.y);
        painter.setPen(i == 0 && !rightOnly ? m_penLeft : m_penRight);
        painter.drawPolyline(polygon);
    }
}

} // namespace cantorix::audio
