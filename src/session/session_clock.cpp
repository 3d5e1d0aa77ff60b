#include "session_clock.h"

#include "game_timeline.h"
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

ClockStep SessionClock::tick() noexcept {
    ClockStep done;
    try {
        done.positionMs = m_player.position();
        done.lengthMs = m_player.length();
        done.timeRead = true;
        done.lyricsFinished = m_timeline->lyricsFinished();
        if (!done.lyricsFinished) {
            // Set first: what a failing step changed before it failed is still drawn.
            done.stepped = true;
            m_timeline->step(done.positionMs);
        }
        const std::optional<std::int64_t> end = m_timeline->endMs();
        const std::int64_t endOfMusic = m_player.length();
        const std::int64_t now = m_player.position();
        done.ended = endOfMusic == now || (end && now >= *end);
    } catch (const std::exception&) {
        done.ended = false;
    }
    return done;
}

} // namespace cantorix::session
