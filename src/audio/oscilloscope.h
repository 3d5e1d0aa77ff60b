#pragma once
// TdeOscilloscope: a widget that draws the latest block of a control source as one polyline per
// channel, in the layout, orientation and pens it is given. Holds a copy of the block it shows.
// Main thread only.

#include "oscilloscope_geometry.h"

#include <QColor>
#include <QPen>
#include <QWidget>
#include <vector>

namespace cantorix::audio {

class TdeAudioControlSource;

class TdeOscilloscope : public QWidget {
    Q_OBJECT
public:
    explicit TdeOscilloscope(QWidget* parent = nullptr);
    ~TdeOscilloscope() override;

    // Follows a control source: every block it delivers is shown. Null stops following.
    void setSource(TdeAudioControlSource* source);
    // Shows a block directly: the samples of each channel, frame by frame.
    void setChannels(std::vector<std::int16_t> left, std::vector<std::int16_t> right);

    int NumberOfPoints() const { return m_numberOfPoints; }
    void setNumberOfPoints(int points);
    TOscilloscopeOrientation Orientation() const { return m_orientation; }
    void setOrientation(TOscilloscopeOrientation orientation);
    TOscilloscopeLayout Layout() const { return m_layout; }
    void setLayout(TOscilloscopeLayout layout);
    const QPen& PenLeft() const { return m_penLeft; }
    void setPenLeft(const QColor& colour);
    const QPen& PenRight() const { return m_penRight; }
    void setPenRight(const QColor& colour);
    // A transparent scope draws only its lines over whatever lies behind it.
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);
    QColor Color() const { return m_colour; }
    void setColor(const QColor& colour);

    // The polylines the next paint draws, left channel first; for tests and the paint itself.
    std::vector<std::vector<ScopePoint>> polylines() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static QPen solidPen(const QColor& colour);

    TdeAudioControlSource* m_source = nullptr;
    int m_listener = -1;
    std::vector<std::int16_t> m_left, m_right;
    int m_numberOfPoints = 200;
    TOscilloscopeOrientation m_orientation = TOscilloscopeOrientation::ooHorizontal;
    TOscilloscopeLayout m_layout = TOscilloscopeLayout::olTopBottom;
    QPen m_penLeft, m_penRight;
    bool m_transparent = false;
    QColor m_colour = Qt::black;
};

// A colour value of the game, 0x00BBGGRR, as a Qt colour.
QColor colourFromValue(std::uint32_t value);

} // namespace cantorix::audio
