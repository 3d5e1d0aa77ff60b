// A medley's music as one stream: three songs (one at another rate, converted) each playing its
// sung stretch with a lead-in and a fade, the next fading in as the last one fades out.

#include "platform/media/file_media_player.h"
#include "platform/media/medley_decoder.h"
#include "platform/mp3_test_files.h"
#include "platform/sound_output/null_audio_output.h"
#include "platform/wav_test_files.h"
#include "songs/media_player_port.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace cantorix::platform {
namespace {

using cantorix::testing::TempDir;

constexpr int kRate = 44100;

// Three tones of 2 s, the second at 48 kHz, each sung from 1.0 to 1.4 s: with 300 ms
// lead-ins and 200 ms fades each plays 0.7 to 1.6 s of its file, starting at 0, 0.7 and 1.4 s
// into the medley, which lasts 2.3 s.
struct ThreeSongs {
    TempDir dir;
    std::vector<std::filesystem::path> files;
    std::vector<songs::MedleySegment> segments;

    ThreeSongs() {
        const struct {
            std::uint32_t rate;
            double hz;
        } tones[] = {{44100, 440}, {48000, 660}, {44100, 550}};
        std::vector<songs::MedleySongPart> parts;
        for (std::size_t k = 0; k < std::size(tones); ++k) {
            files.push_back(dir / ("song" + std::to_string(k) + ".wav"));
            const testing::Bytes wav = testing::stereoSine(tones[k].rate, tones[k].hz, 2.0, 0.5, 1);
            cantorix::testing::writeBytes(files.back(), wav);
            parts.push_back({2000, 1000, 1400});
        }
        segments = songs::layOutMedley(parts, {300, 200});
    }
};

// The loudest sample of each 5 ms window, left channel.
std::vector<float> windowPeaks(const std::vector<float>& stereo) {
    constexpr std::size_t kWindow = kRate / 200;
    std::vector<float> peaks;
    for (std::size_t at = 0; at + kWindow * 2 <= stereo.size(); at += kWindow * 2) {
        float peak = 0;
        for (std::size_t i = 0; i < kWindow; ++i)
            peak = std::max(peak, std::fabs(stereo[at + i * 2]));
        peaks.push_back(peak);
    }
    return peaks;
}

TEST(MedleyDecoder, TheSongsFollowEachOtherInOneStreamThatNeverFallsSilent) {
    const ThreeSongs songs;
    MedleyDecoder medley(songs.files, songs.segments);
    ASSERT_EQ(medley.sampleRate(), kRate);
    ASSERT_EQ(medley.lengthMs(), songs::medleyLengthMs(songs.segments));
    EXPECT_EQ(medley.lengthMs(), 2300);

    std::vector<float> stream;
    std::vector<float> chunk(2 * 1000);
    while (const std::size_t got = medley.read(chunk.data(), 1000))
        stream.insert(stream.end(), chunk.begin(), chunk.begin() + static_cast<long>(got) * 2);
    EXPECT_EQ(static_cast<std::int64_t>(stream.size() / 2), medley.lengthFrames());

    // Every 5 ms window between the first fade in and the last fade out holds the music, through
    // both crossfades (one with the converted song); where two songs overlap, the equal-power
    // fades keep the loudness near one song's.
    const std::vector<float> peaks = windowPeaks(stream);
    for (std::size_t w = 200 / 5; w < 2100 / 5; ++w) {
        EXPECT_GT(peaks[w], 0.2F) << "window at " << w * 5 << " ms";
        EXPECT_LT(peaks[w], 0.75F) << "window at " << w * 5 << " ms";
    }

    // A seek into the crossfade gives what reading straight through gave there.
    const std::int64_t at = kRate * 640 / 1000; // the second song's lead-in, first song fading
    medley.seek(at);
    std::vector<float> again(2 * 2000);
    ASSERT_EQ(medley.read(again.data(), 2000), 2000u);
    double difference = 0, level = 0;
    for (std::size_t i = 400; i < again.size(); ++i) {
        difference += std::pow(again[i] - stream[static_cast<std::size_t>(at) * 2 + i], 2);
        level += std::pow(stream[static_cast<std::size_t>(at) * 2 + i], 2);
    }
    EXPECT_LT(difference, level * 0.01) << "after the converter has settled";
}

TEST(MedleyDecoder, AFileThatCannotBePlayedIsNamedBeforeAnythingPlays) {
    ThreeSongs songs;
    cantorix::testing::writeBytes(songs.files[1], testing::Bytes{'n', 'o', 't', ' ', 'a', 'u'});
    try {
        MedleyDecoder medley(songs.files, songs.segments);
        FAIL() << "a medley over a broken file";
    } catch (const songs::EMediaPlayerError& e) {
        EXPECT_NE(std::string(e.what()).find("song1.wav"), std::string::npos) << e.what();
    }
    EXPECT_THROW(MedleyDecoder({}, {}), std::invalid_argument);
}

// A silent output, at the real pace, that keeps every frame its stream played.
class KeepingOutput : public AudioOutput, private AudioSource {
public:
    std::string name() const override { return "keeping"; }
    std::unique_ptr<AudioStream> openStream(int rate, AudioSource& source) override {
        m_source = &source;
        m_played.reserve(static_cast<std::size_t>(rate) * 2 * 4);
        return m_null.openStream(rate, *this);
    }
    std::vector<float> played() {
        const std::lock_guard lock(m_mutex);
        return m_played;
    }

private:
    void render(float* out, std::size_t frames) noexcept override {
        m_source->render(out, frames);
        const std::lock_guard lock(m_mutex);
        if (m_played.size() + frames * 2 <= m_played.capacity())
            m_played.insert(m_played.end(), out, out + frames * 2);
    }
    NullAudioOutput m_null;
    AudioSource* m_source = nullptr;
    std::mutex m_mutex;
    std::vector<float> m_played;
};

TEST(MedleyDecoder, ThePlayerPlaysTheMedleyToItsEndWithoutAGapLongerThan20Ms) {
    const ThreeSongs songs;
    KeepingOutput output;
    FileMediaPlayer player(output);
    player.openMedley(songs.files, songs.segments);
    EXPECT_EQ(player.length(), 2300);
    player.play();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (player.position() < player.length() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(player.position(), player.length());
    player.close();

    // From the first frame heard to the last, the longest run of silence.
    const std::vector<float> played = output.played();
    std::size_t first = played.size(), last = 0;
    for (std::size_t i = 0; i < played.size(); i += 2)
        if (std::fabs(played[i]) > 1e-3F) {
            first = std::min(first, i / 2);
            last = i / 2;
        }
    ASSERT_LT(first, last);
    std::size_t silent = 0, longest = 0;
    for (std::size_t f = first; f <= last; ++f) {
        silent = std::fabs(played[f * 2]) > 1e-3F ? 0 : silent + 1;
        longest = std::max(longest, silent);
    }
    EXPECT_LT(longest * 1000 / kRate, 20u) << "frames of silence in a row: " << longest;
    EXPECT_GE(last - first, static_cast<std::size_t>(kRate) * 22 / 10) << "the medley played whole";
}

} // namespace
} // namespace cantorix::platform
