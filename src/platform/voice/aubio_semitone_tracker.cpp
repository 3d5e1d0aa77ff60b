#include "aubio_semitone_tracker.h"

#include <algorithm>
#include <aubio/aubio.h>
#include <cmath>
#include <stdexcept>

namespace cantorix::platform {

namespace {

// A sung C2 or C6 with its vibrato still rounds to the range's own ends; anything beyond is
// outside what a singer is judged on (a hum of the mains, a whistle).
constexpr double kLowestMidi = 35.5;  // a quarter tone under C2
constexpr double kHighestMidi = 84.5; // a quarter tone over C6

double midiOfFrequency(double hz) {
    return 69.0 + 12.0 * std::log2(hz / 440.0);
}

} // namespace

struct AubioSemitoneTracker::Detector {
    aubio_pitch_t* pitch = nullptr;
    fvec_t* in = nullptr;
    fvec_t* out = nullptr;

    ~Detector() {
        if (pitch)
            del_aubio_pitch(pitch);
        if (in)
            del_fvec(in);
        if (out)
            del_fvec(out);
    }
};

AubioSemitoneTracker::AubioSemitoneTracker(AubioPitchSettings settings, int sampleRate)
    : m_settings(std::move(settings)), m_detector(std::make_unique<Detector>()) {
    const auto window = static_cast<uint_t>(m_settings.windowSamples);
    // Hop and window alike: every call hands aubio the whole newest window, so a reading
    // depends on those samples only and not on how often the game asked before.
    m_detector->pitch =
        new_aubio_pitch(m_settings.method.c_str(), window, window, static_cast<uint_t>(sampleRate));
    if (!m_detector->pitch)
        throw std::runtime_error("The pitch detector \"" + m_settings.method +
                                 "\" cannot analyse windows of " + std::to_string(window) +
                                 " samples");
    aubio_pitch_set_unit(m_detector->pitch, "Hz");
    // Our own level gate decides silence; aubio's would zero the frequency but keep the old
    // confidence.
    aubio_pitch_set_silence(m_detector->pitch, -200.0f);
    m_detector->in = new_fvec(window);
    m_detector->out = new_fvec(1);
    if (!m_detector->in || !m_detector->out)
        throw std::runtime_error("No memory for the pitch detector");
}

AubioSemitoneTracker::~AubioSemitoneTracker() = default;

pitch::SemitoneReading AubioSemitoneTracker::analyse(std::span<const std::int16_t> newest) {
    const std::size_t window = m_settings.windowSamples;
    const std::size_t have = std::min(newest.size(), window);
    smpl_t* in = m_detector->in->data;
    std::fill(in, in + (window - have), smpl_t{0});
    double power = 0.0;
    const std::int16_t* from = newest.data() + (newest.size() - have);
    for (std::size_t i = 0; i < have; ++i) {
        const double v = from[i] / 32768.0;
        power += v * v;
        in[window - have + i] = static_cast<smpl_t>(v);
    }
    m_levelDbfs = power > 0 ? 10.0 * std::log10(power / static_cast<double>(window)) : -200.0;
    m_confidence = 0.0;
    if (m_levelDbfs < m_settings.minLevelDbfs)
        return {};
    aubio_pitch_do(m_detector->pitch, m_detector->in, m_detector->out);
    m_confidence = aubio_pitch_get_confidence(m_detector->pitch);
    const double hz = m_detector->out->data[0];
    if (!(hz > 0.0) || !(m_confidence >= m_settings.minConfidence))
        return {};
    const double midi = midiOfFrequency(hz);
    if (midi < kLowestMidi || midi >= kHighestMidi)
        return {};
    return {true, midi};
}

} // namespace cantorix::platform
