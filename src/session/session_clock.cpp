#include "session_clock.h"

#include "round_half_even.h"

#include <algorithm>
#include <exception>

namespace cantorix::session {

namespace {

std::string twoDigits(std::int64_t value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

} // namespace

std::string clockText(std::int64_t positionMs) {
    const std::int64_t seconds = roundHalfEven(static_cast<double>(positionMs) / 1000.0);
    return twoDigits(seconds / 60) + ":" + twoDigits(seconds % 60);
}

GaugeSpan gaugeSpan(std::int64_t positionMs, std::int64_t lengthMs) {
    if (lengthMs <= 0)
        return {};
    const int width = static_cast<int>(positionMs * 140 / lengthMs);
    return {width, static_cast<float>(width) / 2.0f + 502.0f};
}

std::int32_t beatAt(std::int64_t positionMs, double leadInTime, double bpm) {
    const double tenths = static_cast<double>(positionMs) / 100.0;
    if (static_cast<double>(roundHalfEven(tenths)) < leadInTime)
        return kBeatBeforeLeadIn;
    return static_cast<std::int32_t>(roundHalfEven((tenths - leadInTime) * bpm / 150.0));
}

double beatReachedMs(std::int32_t beat, double leadInTime, double bpm) {
    // Before the lead-in has passed (its tenths rounded) there is no beat at all.
    return std::max((leadInTime + (beat - 0.5) * 150.0 / bpm) * 100.0, leadInTime * 100.0 - 50.0);
}

SessionClock::SessionClock(songs::MediaPlayer& player, ClockScene scene, SongLane& lane)
    : m_player(player), m_scene(scene), m_lane(&lane) {}

void SessionClock::showLeadIn() {
    scene::Vec3 p = m_scene.progress.position();
    p.x = m_lane->firstSyllableX() - 25.0f;
    m_scene.progress.setPosition(p);
    m_scene.progress.setWidth(0);
    m_scene.progress.setVisible(true);
}

bool SessionClock::tick() noexcept {
    try {
        const std::int64_t position = m_player.position();
        const std::int64_t length = m_player.length();
        if (position != length)
            showTime(position, length);
        if (m_lane->lyricsFinished()) {
            m_lane->clearLyrics();
        } else {
            leadInStep(position);
            m_lane->step(position);
        }
        const std::optional<std::int64_t> end = m_lane->endMs();
        const std::int64_t endOfMusic = m_player.length();
        const std::int64_t now = m_player.position();
        return endOfMusic == now || (end && now >= *end);
    } catch (const std::exception&) {
        return false;
    }
}

void SessionClock::showTime(std::int64_t position, std::int64_t length) {
    m_scene.text.setText(clockText(position));
    const GaugeSpan span = gaugeSpan(position, length);
    m_scene.gauge.setWidth(static_cast<float>(span.width));
    scene::Vec3 p = m_scene.gauge.position();
    p.x = span.centreX;
    m_scene.gauge.setPosition(p);
}

void SessionClock::leadInStep(std::int64_t position) {
    const double leadIn = m_lane->leadInTenths();
    const double tenths = static_cast<double>(roundHalfEven(static_cast<double>(position) / 100.0));
    // The bar fills during the last five seconds before the first note, and holds while paused.
    if (m_scene.progress.width() < kLeadInWidth && tenths >= leadIn - 50.0 &&
        m_scene.pauseButton.visible())
        m_scene.progress.setWidth(m_scene.progress.width() + kLeadInStep);
    if (tenths >= leadIn)
        m_scene.progress.setVisible(false);
}

} // namespace cantorix::session
