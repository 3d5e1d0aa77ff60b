#include "lead_voice.h"

#include "arrangement.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string>

namespace cantorix::assets::demo {

namespace {

// A soft, round voice: strong low harmonics and a quickly falling top, like an open "oo".
const std::vector<double> kLeadHarmonics{1.0, 0.55, 0.32, 0.2, 0.09, 0.05, 0.03, 0.018, 0.01};

constexpr double kAttackMs = 35.0;
constexpr double kReleaseMs = 90.0;
static_assert(kLeadSettleMs >= kAttackMs && kLeadSettleMs >= kReleaseMs);

constexpr double kPcmPeak = 16384.0; // -6 dBFS: a clearly sung voice with room to spare

void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

void addLeadVoice(Mix& mix, const Tune& tune) {
    static const Wavetable voice(kLeadHarmonics);
    ToneShape shape;
    shape.attackMs = kAttackMs;
    shape.releaseMs = kReleaseMs;
    shape.decayPerSecond = 0.15;
    shape.vibratoDepth = 0.003; // about 5 cents: wider swings pull A4 into its lower neighbour
    shape.vibratoHz = 5.2;
    shape.vibratoDelayMs = 220.0;
    const Placement centre{0.34, 0.0, 0.22};
    for (const LyricLine& line : tune.lines)
        for (const SungNote& note : line.notes) {
            Tone tone;
            tone.hz = midiNoteHz(note.midiNote);
            tone.startMs = tune.sungBeatMs(note.startBeat);
            tone.lengthMs = note.lengthBeats * tune.beatMs;
            tone.velocity = note.lengthBeats >= 4 ? 1.0 : 0.9; // short syllables sit lighter
            addTone(mix, voice, tone, shape, centre);
        }
}

std::vector<std::int16_t> leadVoicePcm(const Tune& tune) {
    Mix mix(frameAt(songLengthMs(tune)));
    addLeadVoice(mix, tune);
    const std::vector<float>& voice = mix.dry.left; // centred: both sides carry the same
    float peak = 0.0f;
    for (const float v : voice)
        peak = std::max(peak, std::abs(v));
    const double scale = peak > 0.0f ? kPcmPeak / peak : 0.0;
    std::vector<std::int16_t> pcm(voice.size());
    for (std::size_t i = 0; i < voice.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(std::nearbyint(voice[i] * scale));
    return pcm;
}

void writeLeadVoiceWav(const Tune& tune, const std::filesystem::path& file) {
    const std::vector<std::int16_t> pcm = leadVoicePcm(tune);
    const auto dataBytes = static_cast<std::uint32_t>(2 * pcm.size());
    std::string bytes = "RIFF";
    putLittleEndian(bytes, 36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    putLittleEndian(bytes, 16, 4);
    putLittleEndian(bytes, 1, 2); // PCM
    putLittleEndian(bytes, 1, 2); // mono
    putLittleEndian(bytes, kSampleRate, 4);
    putLittleEndian(bytes, 2 * kSampleRate, 4);
    putLittleEndian(bytes, 2, 2);
    putLittleEndian(bytes, 16, 2);
    bytes += "data";
    putLittleEndian(bytes, dataBytes, 4);
    for (const std::int16_t sample : pcm)
        putLittleEndian(bytes, static_cast<std::uint16_t>(sample), 2);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace cantorix::assets::demo
