#pragma once
// The semitone pitch of the newest microphone samples through aubio's pitch detector, for the
// pitch SemitoneTracker port. Owns one aubio detector and its two sample vectors, sized once;
// analyse() allocates nothing. Main thread only (one instance per thread at most).

#include "pitch/semitone_tracker_port.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace cantorix::platform {

struct AubioPitchSettings {
    // One of aubio's single-voice methods. "yinfast" is YIN (the first dip of the normalised
    // difference under its threshold, which keeps octave errors away) with the difference taken
    // through an FFT; "yin" gives the same readings at six times the cost. "yinfft" reports a
    // confidence of 0 for every window in this aubio, so it cannot tell a voice from noise.
    std::string method = "yinfast";
    // 2048 samples are 46 ms: two periods of C2, and short enough that a tick 60 ms into a note
    // hears only that note.
    std::size_t windowSamples = 2048;
    // Below this RMS level the window is silence, whatever the detector says.
    double minLevelDbfs = -50.0;
    // aubio's confidence (1 − the normalised difference at the period) a voice must reach.
    // Generated voices with breath noise reach 0.976 or more, white noise at most 0.15; the
    // margin is for real rooms and hoarse voices.
    double minConfidence = 0.7;
};

class AubioSemitoneTracker final : public pitch::SemitoneTracker {
public:
    // Throws std::runtime_error when aubio refuses the method or the window.
    explicit AubioSemitoneTracker(AubioPitchSettings settings = {}, int sampleRate = 44100);
    ~AubioSemitoneTracker() override;
    AubioSemitoneTracker(const AubioSemitoneTracker&) = delete;
    AubioSemitoneTracker& operator=(const AubioSemitoneTracker&) = delete;

    // Fewer samples than the window (the first moments of a capture) count as silence before
    // them.
    pitch::SemitoneReading analyse(std::span<const std::int16_t> newest) override;
    std::size_t windowSamples() const override { return m_settings.windowSamples; }

    // Of the latest analyse(): aubio's confidence, and the window's RMS level in dBFS.
    double confidence() const { return m_confidence; }
    double levelDbfs() const { return m_levelDbfs; }

private:
    struct Detector; // aubio's objects, kept out of this header with aubio's own

    AubioPitchSettings m_settings;
    std::unique_ptr<Detector> m_detector;
    double m_confidence = 0.0;
    double m_levelDbfs = -200.0;
};

} // namespace cantorix::platform
