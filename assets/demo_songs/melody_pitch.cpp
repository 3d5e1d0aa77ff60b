#include "melody_pitch.h"

#include "lead_voice.h"
#include "pitch/memory_wave_stream.h"
#include "pitch/sound.h"
#include "synth_voices.h"

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace cantorix::assets::demo {

namespace {

std::string tickCounts(const std::map<int, std::size_t>& counts) {
    std::string text;
    for (const auto& [value, count] : counts)
        text += (text.empty() ? "" : ", ") + std::to_string(value) + " x" + std::to_string(count);
    return text;
}

int settledValue(const Tune& tune, const SungNote& note, std::span<const std::uint8_t> ticks) {
    const auto fail = [&](const std::string& why) {
        std::string syllable = note.syllable;
        if (syllable.ends_with(' '))
            syllable.pop_back();
        throw std::runtime_error(tune.sheet.title + ": note '" + syllable + "' at beat " +
                                 std::to_string(note.startBeat) + " " + why);
    };
    if (ticks.empty())
        fail("is too short for the pitch analysis to hear it settled");
    std::map<int, std::size_t> counts;
    for (const std::uint8_t value : ticks)
        ++counts[value];
    auto best = counts.begin();
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it->second > best->second)
            best = it;
    if (double(best->second) < kClearMajority * double(ticks.size()))
        fail("has no steady sung value (ticks: " + tickCounts(counts) + ")");
    if (best->first == pitch::kSilenceSungValue)
        fail("is not heard as a pitch by the analysis (ticks: " + tickCounts(counts) + ")");
    return best->first;
}

} // namespace

std::vector<std::uint8_t> sungValuesPerTick(std::span<const std::int16_t> pcm) {
    pitch::MemoryWaveStream stream;
    const auto sound = std::make_unique<pitch::TSound>();
    std::vector<std::uint8_t> values;
    values.reserve(pcm.size() / kTickFrames + 1);
    std::vector<std::uint8_t> burst;
    for (std::size_t at = 0; at < pcm.size(); at += kTickFrames) {
        const std::span<const std::int16_t> frames =
            pcm.subspan(at, std::min(kTickFrames, pcm.size() - at));
        burst.clear();
        for (const std::int16_t sample : frames) {
            const auto word = static_cast<std::uint16_t>(sample);
            burst.push_back(static_cast<std::uint8_t>(word & 0xFF));
            burst.push_back(static_cast<std::uint8_t>(word >> 8));
        }
        stream.append(burst.data(), burst.size());
        sound->OnSoundCaptured(stream);
        sound->Analyse();
        values.push_back(sound->sungValue());
    }
    return values;
}

TickSpan ticksInside(std::size_t firstFrame, std::size_t endFrame, std::size_t totalFrames) {
    const auto block = static_cast<std::size_t>(pitch::kSamplesPerBlock);
    const std::size_t ticks = (totalFrames + kTickFrames - 1) / kTickFrames;
    // Tick j's block is the 4096 frames before frame min((j + 1) * kTickFrames, totalFrames).
    const auto blockEnd = [&](std::size_t j) {
        return std::min((j + 1) * kTickFrames, totalFrames);
    };
    TickSpan span;
    while (span.first < ticks && blockEnd(span.first) < firstFrame + block)
        ++span.first;
    span.end = span.first;
    while (span.end < ticks && blockEnd(span.end) <= endFrame)
        ++span.end;
    return span;
}

std::vector<int> melodyPitches(const Tune& tune) {
    const std::vector<std::int16_t> voice = leadVoicePcm(tune);
    const std::vector<std::uint8_t> ticks = sungValuesPerTick(voice);
    std::vector<int> pitches;
    for (const LyricLine& line : tune.lines)
        for (const SungNote& note : line.notes) {
            const double startMs = tune.sungBeatMs(note.startBeat);
            const TickSpan span =
                ticksInside(frameAt(startMs + kLeadSettleMs),
                            frameAt(startMs + note.lengthBeats * tune.beatMs), voice.size());
            pitches.push_back(settledValue(
                tune, note, std::span(ticks).subspan(span.first, span.end - span.first)));
        }
    return pitches;
}

} // namespace cantorix::assets::demo
