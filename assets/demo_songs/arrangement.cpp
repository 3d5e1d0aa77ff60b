#include "arrangement.h"

#include "accompaniment.h"
#include "lead_voice.h"
#include "reverb.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cantorix::assets::demo {

namespace {

constexpr double kTailMs = 2000.0;
constexpr double kFadeOutMs = 5000.0;
constexpr double kFadeInMs = 15.0;
constexpr double kPeak = 0.891; // -1 dBFS: leaves the encoder's overshoot room below full scale
constexpr double kReverbWet = 0.55;

void fadeAndLevel(StereoBuffer& audio) {
    const double fadeInFrames = kFadeInMs * kSampleRate / 1000.0;
    const double fadeOutFrames = kFadeOutMs * kSampleRate / 1000.0;
    const double frames = double(audio.frames());
    double peak = 0.0;
    for (std::size_t i = 0; i < audio.frames(); ++i) {
        const double fromEnd = frames - double(i);
        double gain = std::min(1.0, double(i) / fadeInFrames);
        if (fromEnd < fadeOutFrames)
            gain *= 0.5 - 0.5 * std::cos(std::numbers::pi * fromEnd / fadeOutFrames);
        audio.left[i] = static_cast<float>(audio.left[i] * gain);
        audio.right[i] = static_cast<float>(audio.right[i] * gain);
        peak = std::max({peak, std::abs(double(audio.left[i])), std::abs(double(audio.right[i]))});
    }
    if (peak <= 0.0)
        return;
    const auto scale = static_cast<float>(kPeak / peak);
    for (std::size_t i = 0; i < audio.frames(); ++i) {
        audio.left[i] *= scale;
        audio.right[i] *= scale;
    }
}

} // namespace

double songLengthMs(const Tune& tune) {
    return tune.musicEndMs() + kTailMs;
}

StereoBuffer renderTune(const Tune& tune) {
    Mix mix(frameAt(songLengthMs(tune)));
    addAccompaniment(mix, tune);
    addLeadVoice(mix, tune);
    applyReverb(mix, kReverbWet);
    fadeAndLevel(mix.dry);
    return std::move(mix.dry);
}

} // namespace cantorix::assets::demo
