#include "listening_loop.h"

#include <cmath>

namespace cantorix::session {

double readingSongMs(double endMs, std::size_t windowSamples) {
    return endMs - 500.0 * static_cast<double>(windowSamples) / kCaptureSampleRate;
}

ListeningLoop::ListeningLoop(ListeningParts parts)
    : m_parts(std::move(parts)), m_sound(std::make_unique<pitch::TSound>()) {
    const auto report = [this](const std::exception& e) {
        if (m_parts.reportError)
            m_parts.reportError(e);
    };
    m_stream =
        std::make_unique<pitch::TSoundCaptureStream>(m_parts.capture, m_parts.invoker, report);
    m_stream->setCaptureFormat(kCaptureFormatEntry);
    m_stream->setBufferLength(kCaptureRingMs);
    if (m_parts.notifyThread)
        m_stream->setOnFilledBuffer(
            pitch::TFilledBufferEvent::of<&pitch::TSound::OnSoundCaptured>(*m_sound));
    m_sound->setCaptureStream(m_stream.get());
    if (m_parts.semitones)
        m_window.resize(m_parts.semitones->windowSamples());
}

// The stream stops before the analysis it feeds goes.
ListeningLoop::~ListeningLoop() {
    m_stream->stop();
}

void ListeningLoop::startCapture() {
    m_stream->start();
}

void ListeningLoop::stopCapture() {
    m_stream->stop();
}

void ListeningLoop::takeCaptured() {
    if (m_stream->filledSize() > 0)
        m_sound->OnSoundCaptured(*m_stream);
}

void ListeningLoop::startSession(const TickJudge* semitoneJudge, std::int64_t songMs,
                                 SessionInputControl* recording) {
    m_scoring.startSession();
    m_semitoneJudge = semitoneJudge;
    m_recording = recording;
    m_inSession = true;
    m_windows = {};
    musicStartsAt(songMs);
}

void ListeningLoop::musicStartsAt(std::int64_t songMs) {
    m_paused = false;
    m_sessionStartMs = static_cast<double>(songMs);
    m_resumedAtMs = m_sessionStartMs;
    m_nextWindow = 1;
    m_anchor.reset();
    m_lostSeen = m_stream->lostSamples();
    // A live voice is heard from now on; a recording says itself where it started.
    if (!m_recording)
        m_anchor = Anchor{m_stream->capturedSamples(), m_sessionStartMs};
}

void ListeningLoop::pause(std::int64_t songMs) {
    if (m_inSession && !m_paused)
        judgeWindows(static_cast<double>(songMs));
    m_paused = true;
    m_anchor.reset();
}

void ListeningLoop::resume(std::int64_t songMs) {
    m_paused = false;
    m_resumedAtMs = static_cast<double>(songMs);
    if (!m_recording)
        m_anchor = Anchor{m_stream->capturedSamples(), m_resumedAtMs};
}

void ListeningLoop::endSession(std::int64_t songMs) {
    if (m_inSession && !m_paused)
        judgeWindows(static_cast<double>(songMs));
    m_inSession = false;
    m_anchor.reset();
}

void ListeningLoop::tick(bool judging, std::optional<std::uint8_t> judgedPitch) {
    // The game's rule judges the value the previous tick heard against the target now due, and
    // keeps that target for the next session, as the game always has.
    if (judging && judgedPitch) {
        m_scoring.setTargetPitch(*judgedPitch);
        m_scoring.score(judgeCoarseValue(m_heldSungValue, judgedPitch));
    }
    m_sound->Analyse();
    m_heldSungValue = m_sound->sungValue();
    if (m_inSession && !m_paused)
        judgeWindows(std::nullopt);
}

bool ListeningLoop::placeSamples() {
    if (m_anchor)
        return true;
    if (!m_recording)
        return false;
    const std::optional<RecordingMark> mark =
        m_recording->mark([this] { return m_stream->capturedSamples(); });
    if (!mark)
        return false;
    // The recording's frame r is heard at the song time r samples after the session's start,
    // pauses and all, since the recording holds whenever the song does.
    m_anchor = Anchor{mark->capturedSamples - mark->recordingFrames, m_sessionStartMs};
    return true;
}

std::int64_t ListeningLoop::endSampleOf(double endMs) const {
    return m_anchor->sample +
           std::llround((endMs - m_anchor->songMs) * kCaptureSampleRate / 1000.0);
}

void ListeningLoop::judgeWindows(std::optional<double> untilMs) {
    if (!m_semitoneJudge || !placeSamples())
        return;
    const std::int64_t captured = m_stream->capturedSamples();
    // Sound lost since the last look lies among the windows completed since: none of them is
    // judged on the silence that stands in for it.
    const std::int64_t lost = m_stream->lostSamples();
    const bool lostSome = lost != m_lostSeen;
    m_lostSeen = lost;
    for (;; ++m_nextWindow) {
        const double endMs = m_sessionStartMs + static_cast<double>(m_nextWindow) * kAnalysisTickMs;
        if (untilMs && endMs > *untilMs)
            return;
        // Due before the last pause and not judged then: its samples had not come, and the
        // samples after the resume belong to later windows.
        if (endMs <= m_resumedAtMs && m_resumedAtMs > m_sessionStartMs) {
            ++m_windows.missed;
            continue;
        }
        const std::int64_t endSample = endSampleOf(endMs);
        if (endSample > captured)
            return;
        // Without a tracker every window reads unvoiced, and is judged so.
        const bool read = m_window.empty() || m_stream->peekEndingAt(endSample, m_window);
        if (lostSome || !read) {
            ++m_windows.missed;
            continue;
        }
        m_latestReading =
            m_parts.semitones ? m_parts.semitones->analyse(m_window) : pitch::SemitoneReading{};
        ++m_windows.judged;
        const SungTick tick{m_heldSungValue, m_latestReading,
                            readingSongMs(endMs, m_window.size())};
        const TickJudgement verdict = m_semitoneJudge->judge(tick);
        m_scoring.score(verdict);
        if (m_keepHeardTicks && verdict.judged)
            m_heardTicks.push_back({verdict, m_latestReading});
    }
}

} // namespace cantorix::session
