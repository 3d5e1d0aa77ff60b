#include "fakes/generated_voice.h"
#include "fakes/semitone_ticks.h"
#include "pitch/memory_wave_stream.h"
#include "pitch/sound.h"
#include "platform/voice/aubio_semitone_tracker.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <stdexcept>
#include <vector>

using namespace cantorix;
using namespace cantorix::testing;

namespace {

std::vector<std::int16_t> sine(double hz, double peak, std::size_t count) {
    std::vector<std::int16_t> out(count);
    for (std::size_t n = 0; n < count; ++n)
        out[n] = static_cast<std::int16_t>(std::lround(
            peak * std::sin(2 * std::numbers::pi * hz * static_cast<double>(n) / 44100)));
    return out;
}

} // namespace

TEST(AubioSemitoneTrackerTest, NamesEverySungSemitoneFromC2ToC6) {
    platform::AubioSemitoneTracker tracker;
    const std::vector<VoiceNote> notes = everySemitoneTwice();
    const std::vector<std::int16_t> voice = generatedVoice(notes);
    const MelodyScore score = scoreMelody(readEveryTick(tracker, voice), notes);
    ASSERT_GT(score.judged, 500);
    EXPECT_GE(score.rightShare(), 0.98) << score.right << " of " << score.judged;
    EXPECT_LT(score.octaveShare(), 0.01) << score.octaveWrong << " octave errors";
}

TEST(AubioSemitoneTrackerTest, SilenceNoiseAndSoundsOutsideTheRangeAreUnvoiced) {
    struct Case {
        const char* what;
        std::vector<std::int16_t> samples;
    };
    const Case cases[] = {
        {"silence", std::vector<std::int16_t>(44100 * 10, 0)},
        {"white noise at -30 dBFS", whiteNoise(44100 * 20, -30.0)},
        {"white noise at -12 dBFS", whiteNoise(44100 * 5, -12.0, 11)},
        {"a tone at -64 dBFS, under the level gate", sine(220.0, 30.0, 44100 * 2)},
        {"a 50 Hz hum", sine(50.0, 8000.0, 44100 * 2)},
        {"a 1500 Hz whistle", sine(1500.0, 8000.0, 44100 * 2)},
    };
    for (const Case& c : cases) {
        platform::AubioSemitoneTracker tracker;
        EXPECT_GE(unvoicedShare(readEveryTick(tracker, c.samples)), 0.99) << c.what;
    }
}

TEST(AubioSemitoneTrackerTest, KeepsTheFractionOfASemitone) {
    platform::AubioSemitoneTracker tracker;
    for (const double midi : {36.3, 47.75, 57.0, 69.25, 83.6}) {
        const double hz = 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
        const pitch::SemitoneReading r = tracker.analyse(sine(hz, 8000.0, 4096));
        ASSERT_TRUE(r.voiced) << midi;
        EXPECT_NEAR(r.midiNote, midi, 0.05);
    }
}

TEST(AubioSemitoneTrackerTest, ReadsOnlyTheNewestWindowAndToleratesShortInput) {
    platform::AubioSemitoneTracker tracker;
    ASSERT_EQ(tracker.windowSamples(), 2048u);
    // A low note long gone and a high one in the newest window: only the newest counts.
    std::vector<std::int16_t> samples = sine(110.0, 8000.0, 20000);
    const std::vector<std::int16_t> newest = sine(440.0, 8000.0, 2048);
    samples.insert(samples.end(), newest.begin(), newest.end());
    const pitch::SemitoneReading r = tracker.analyse(samples);
    ASSERT_TRUE(r.voiced);
    EXPECT_EQ(std::lround(r.midiNote), 69);
    // The first moments of a capture hold fewer samples than the window.
    EXPECT_FALSE(tracker.analyse({}).voiced);
    EXPECT_EQ(
        std::lround(tracker.analyse(std::vector<std::int16_t>(sine(440.0, 8000.0, 1500))).midiNote),
        69);
}

TEST(AubioSemitoneTrackerTest, RefusesAMethodAubioDoesNotKnow) {
    EXPECT_THROW(platform::AubioSemitoneTracker({.method = "no-such-method"}), std::runtime_error);
}

// The game's path: 50 ms bursts of bytes into the analysis object's store (which trims itself
// about once a second), and at each tick the newest samples from it into the tracker.
TEST(AubioSemitoneTrackerTest, HearsTheSharedCaptureThroughTheAnalysisStore) {
    const std::vector<VoiceNote> notes = {{0, 1000, 45}, {1000, 1000, 64}};
    const std::vector<std::int16_t> voice = generatedVoice(notes);
    pitch::TSound sound;
    pitch::MemoryWaveStream stream;
    platform::AubioSemitoneTracker tracker;
    std::vector<std::int16_t> window(tracker.windowSamples());
    // Before the first capture the window is silence.
    sound.newestSamples(window);
    EXPECT_TRUE(std::all_of(window.begin(), window.end(), [](std::int16_t s) { return s == 0; }));
    std::vector<TickReading> ticks;
    for (std::size_t first = 0; first + 2205 <= voice.size(); first += 2205) {
        stream.append(reinterpret_cast<const std::uint8_t*>(voice.data() + first), 2 * 2205);
        sound.OnSoundCaptured(stream);
        sound.newestSamples(window);
        const auto end = static_cast<std::ptrdiff_t>(first + 2205);
        if (end >= 2048) { // the byte store keeps at least 8192 samples after a trim
            ASSERT_TRUE(std::equal(window.begin(), window.end(), voice.begin() + end - 2048))
                << end;
        }
        ticks.push_back({static_cast<int>(end * 1000 / 44100), tracker.analyse(window)});
    }
    const MelodyScore score = scoreMelody(ticks, notes);
    EXPECT_EQ(score.right, score.judged);
}
