#pragma once
// The instruments of the demo songs: band-limited wavetable tones with envelopes and vibrato,
// written into a two-bus stereo mix (dry and reverb send). Build-time tool; one mix per thread.

#include <cstddef>
#include <vector>

namespace cantorix::assets::demo {

inline constexpr int kSampleRate = 44100;

struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;

    explicit StereoBuffer(std::size_t frames) : left(frames), right(frames) {}
    std::size_t frames() const { return left.size(); }
};

// Everything an arrangement writes: the dry signal and what it sends to the reverb.
struct Mix {
    StereoBuffer dry;
    StereoBuffer send;

    explicit Mix(std::size_t frames) : dry(frames), send(frames) {}
    std::size_t frames() const { return dry.frames(); }
};

// Where an instrument sits: level, position (-1 left … 1 right) and reverb send.
struct Placement {
    double gain = 1.0;
    double pan = 0.0;
    double send = 0.0;
};

// A placement turned into the four bus gains, with equal-power panning.
class Output {
public:
    Output(Mix& mix, const Placement& place);
    void add(std::size_t frame, double value) {
        m_mix.dry.left[frame] += static_cast<float>(value * m_left);
        m_mix.dry.right[frame] += static_cast<float>(value * m_right);
        m_mix.send.left[frame] += static_cast<float>(value * m_sendLeft);
        m_mix.send.right[frame] += static_cast<float>(value * m_sendRight);
    }
    std::size_t frames() const { return m_mix.frames(); }

private:
    Mix& m_mix;
    double m_left, m_right, m_sendLeft, m_sendRight;
};

std::size_t frameAt(double ms);

// One period of a waveform built from harmonic amplitudes, read with linear interpolation.
class Wavetable {
public:
    explicit Wavetable(const std::vector<double>& harmonics);
    double at(double phase) const; // phase in periods, 0 <= phase < 1

private:
    std::vector<float> m_table;
};

// The life of a tone: a smooth S-shaped attack, an exponential decay while held, a smooth
// release after its length, and a vibrato that fades in after a delay.
struct ToneShape {
    double attackMs = 10.0;
    double releaseMs = 80.0;
    double decayPerSecond = 0.0;
    double vibratoDepth = 0.0; // relative frequency swing
    double vibratoHz = 5.0;
    double vibratoDelayMs = 200.0;
};

struct Tone {
    double hz = 0.0;
    double startMs = 0.0;
    double lengthMs = 0.0;
    double velocity = 1.0;
};

void addTone(Mix& mix, const Wavetable& table, const Tone& tone, const ToneShape& shape,
             const Placement& place);

} // namespace cantorix::assets::demo
