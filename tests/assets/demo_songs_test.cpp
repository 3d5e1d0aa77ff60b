// Checks the demo songs the build composes into the program directory: each folder's MP3,
// cover and song file, read back through the game's own song reader and picture loader, and
// the melody heard in the MP3 where and at the pitch the song file says.

#include "demo_songs/sung_value.h"
#include "platform/jpeg_decoder.h"
#include "scene/picture_loader.h"
#include "songs/song_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <mpg123.h>
#include <numbers>
#include <set>
#include <string>
#include <vector>

using namespace cantorix;
using assets::demo::sungValueForFrequency;

namespace {

const std::filesystem::path kSongs = std::filesystem::path(CANTORIX_PROGRAM_DIR) / "songs";
const std::vector<std::string> kDemoSongs{"Cantorix - Morning Lantern", "Cantorix - Harbour Lights",
                                          "Cantorix - Paper Kites"};
const std::set<int> kSungValues{10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 22, 23,
                                25, 26, 28, 30, 31, 33, 35, 38, 40, 42, 45, 48};

struct Audio {
    long rate = 0;
    int channels = 0;
    std::vector<float> mono; // channels averaged
    float peak = 0.0f;
    double lengthMs() const { return rate ? 1000.0 * double(mono.size()) / double(rate) : 0.0; }
};

// Decodes the whole file with libmpg123 (gapless, as the game's player decodes it).
Audio decodeMp3(const std::filesystem::path& file) {
    Audio audio;
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle)
        return audio;
    int encoding = 0;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT, 0.0);
    if (mpg123_open(handle, file.c_str()) == MPG123_OK &&
        mpg123_getformat(handle, &audio.rate, &audio.channels, &encoding) == MPG123_OK &&
        encoding == MPG123_ENC_FLOAT_32 && audio.channels > 0) {
        std::vector<float> block(8192);
        std::size_t done = 0;
        int result = MPG123_OK;
        while (result == MPG123_OK) {
            result = mpg123_read(handle, block.data(), block.size() * sizeof(float), &done);
            const std::size_t samples = done / sizeof(float);
            for (std::size_t i = 0; i + std::size_t(audio.channels) <= samples;
                 i += std::size_t(audio.channels)) {
                float sum = 0.0f;
                for (int c = 0; c < audio.channels; ++c) {
                    sum += block[i + std::size_t(c)];
                    audio.peak = std::max(audio.peak, std::abs(block[i + std::size_t(c)]));
                }
                audio.mono.push_back(sum / float(audio.channels));
            }
        }
        if (result != MPG123_DONE)
            audio.mono.clear();
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return audio;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Strength of one frequency around a moment, over a Hann-windowed stretch of samples.
double strengthAt(const Audio& audio, double centreMs, double hz, std::size_t length) {
    const auto centre = static_cast<std::ptrdiff_t>(centreMs * double(audio.rate) / 1000.0);
    const std::ptrdiff_t first = centre - std::ptrdiff_t(length / 2);
    if (first < 0 || std::size_t(first) + length > audio.mono.size())
        return 0.0;
    double re = 0.0, im = 0.0;
    for (std::size_t n = 0; n < length; ++n) {
        const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(n) / length);
        const double angle = 2 * std::numbers::pi * hz * double(n) / double(audio.rate);
        const double sample = audio.mono[std::size_t(first) + n] * window;
        re += sample * std::cos(angle);
        im -= sample * std::sin(angle);
    }
    return std::hypot(re, im);
}

class DemoSongsTest : public ::testing::TestWithParam<std::string> {
protected:
    std::filesystem::path folder() const { return kSongs / GetParam(); }
    songs::SongFile loadSongFile() {
        const std::filesystem::path file = folder() / (GetParam() + ".txt");
        songs::SongFile song;
        song.load(readFile(file), folder(), file);
        return song;
    }
};

} // namespace

TEST(SungValueTest, MatchesWhatTheAnalysisReportsForCleanTones) {
    EXPECT_EQ(sungValueForFrequency(220.0), 21); // a tone two indices above its own candidate
    EXPECT_EQ(sungValueForFrequency(440.0), 42);
    EXPECT_EQ(sungValueForFrequency(130.81), 13);
    EXPECT_EQ(sungValueForFrequency(233.08), 22); // the running mean pulls it down, not to 23
    EXPECT_EQ(sungValueForFrequency(466.16), 45);
}

TEST(SungValueTest, RefusesTonesTheAnalysisCouldReportEitherWay) {
    EXPECT_FALSE(sungValueForFrequency(493.88)); // B4: midway between the top two candidates
    EXPECT_FALSE(sungValueForFrequency(207.65)); // G#3: midway between 19 and 21
    EXPECT_FALSE(sungValueForFrequency(560.0));  // beyond the highest candidate
    EXPECT_FALSE(sungValueForFrequency(0.0));
    int previous = 0;
    for (double hz = 100.0; hz < 530.0; hz += 0.5)
        if (const auto value = sungValueForFrequency(hz)) {
            EXPECT_TRUE(kSungValues.contains(*value)) << hz;
            EXPECT_GE(*value, previous) << hz;
            previous = *value;
        }
}

TEST_P(DemoSongsTest, FolderHoldsAudioSongFileAndCover) {
    EXPECT_TRUE(std::filesystem::is_regular_file(folder() / (GetParam() + ".mp3")));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder() / (GetParam() + ".txt")));
    platform::LibJpegDecoder jpeg;
    scene::PictureFileLoader loader(jpeg);
    const scene::Image cover = loader.load(folder() / "cover.jpg");
    EXPECT_EQ(cover.width, 600);
    EXPECT_EQ(cover.height, 600);
}

TEST_P(DemoSongsTest, AudioIsStereo44100WithinLengthAndUnclipped) {
    const Audio audio = decodeMp3(folder() / (GetParam() + ".mp3"));
    ASSERT_FALSE(audio.mono.empty()) << "the MP3 does not decode to its end";
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_GE(audio.lengthMs(), 30000.0);
    EXPECT_LE(audio.lengthMs(), 60000.0);
    EXPECT_LT(audio.peak, 1.0f);
    EXPECT_GT(audio.peak, 0.5f);
}

TEST_P(DemoSongsTest, SongFileReadsAsTheGameReadsIt) {
    const std::string text = readFile(folder() / (GetParam() + ".txt"));
    EXPECT_TRUE(text.ends_with("\r\nE\r\n"));
    const songs::SongFile song = loadSongFile();
    EXPECT_EQ(song.songArtist() + " - " + song.songTitle(), GetParam());
    EXPECT_EQ(song.audioPath(), folder() / (GetParam() + ".mp3"));
    EXPECT_GT(song.gapValue(), 1000); // milliseconds
    EXPECT_GT(song.bpm(), 0.0);
    ASSERT_GT(song.recordCount(), 10u);
    const auto& records = song.songRecords();
    EXPECT_EQ(records[0].startBeat, 0); // the lead-in is the gap alone
    EXPECT_DOUBLE_EQ(song.leadInTime(), song.gapValue() / 100.0);

    const std::size_t endLine = song.recordCount() - 1;
    EXPECT_EQ(records[endLine], songs::SongRecord{});
    int breaks = 0;
    for (std::size_t k = 0; k < endLine; ++k) {
        const songs::SongRecord& r = records[k];
        if (r.isBreak) {
            ++breaks;
            continue;
        }
        EXPECT_TRUE(kSungValues.contains(r.pitch)) << r.syllable;
        EXPECT_GE(r.length * 15000.0 / song.bpm(), 250.0) << r.syllable;
        EXPECT_FALSE(r.syllable.empty());
        if (k + 1 == endLine)
            continue;
        // Every record is due for a while: the next one begins after it.
        EXPECT_GT(records[k + 1].startBeat, r.startBeat) << r.syllable;
        // A line break stands where the line's last note ends, so the rest is not scored.
        if (records[k + 1].isBreak) {
            EXPECT_EQ(records[k + 1].startBeat, r.startBeat + r.length) << r.syllable;
            EXPECT_LT(records[k + 1].startBeat, records[k + 2].startBeat) << r.syllable;
        }
    }
    EXPECT_GE(breaks, 3);
    EXPECT_FALSE(records[endLine - 1].isBreak);
}

// The melody sings each note where the song file puts it: at the middle of every note, the
// note's own pitch is the strongest of all the pitches the melodies use.
TEST_P(DemoSongsTest, MelodyInTheAudioFollowsTheSongFile) {
    const songs::SongFile song = loadSongFile();
    const Audio audio = decodeMp3(folder() / (GetParam() + ".mp3"));
    ASSERT_EQ(audio.rate, 44100);
    std::map<int, double> pitchHz; // sung value -> semitone from A3 to Bb4
    for (int midi = 57; midi <= 70; ++midi) {
        const double hz = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
        pitchHz[*sungValueForFrequency(hz)] = hz;
    }
    const double beatMs = 15000.0 / song.bpm();
    for (std::size_t k = 0; k + 1 < song.recordCount(); ++k) {
        const songs::SongRecord& r = song.songRecords()[k];
        if (r.isBreak)
            continue;
        ASSERT_TRUE(pitchHz.contains(r.pitch)) << r.syllable;
        const double middleMs = song.gapValue() + (r.startBeat + r.length / 2.0) * beatMs;
        int strongest = 0;
        double best = 0.0;
        for (const auto& [value, hz] : pitchHz)
            if (const double s = strengthAt(audio, middleMs, hz, 8192); s > best) {
                best = s;
                strongest = value;
            }
        EXPECT_EQ(strongest, r.pitch) << "'" << r.syllable << "' at beat " << r.startBeat;
    }
    const songs::SongRecord& last = song.songRecords()[song.recordCount() - 2];
    EXPECT_LT(song.gapValue() + (last.startBeat + last.length) * beatMs, audio.lengthMs());
}

INSTANTIATE_TEST_SUITE_P(Songs, DemoSongsTest, ::testing::ValuesIn(kDemoSongs),
                         [](const auto& info) {
                             std::string name = info.param.substr(info.param.find('-') + 2);
                             std::erase(name, ' ');
                             return name;
                         });
