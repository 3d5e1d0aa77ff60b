// Checks the demo songs the build composes into the program directory: each folder's MP3,
// cover and song file, read back through the game's own song reader and picture loader; the
// melody heard in the MP3 where the song file says; and the lead voice alone, as the generator
// renders it for singing tests, scored by the game's pitch analysis at the song file's pitches.

#include "demo_songs/arrangement.h"
#include "demo_songs/demo_tunes.h"
#include "demo_songs/duet_song.h"
#include "demo_songs/lead_voice.h"
#include "demo_songs/melody_pitch.h"
#include "demo_songs/song_text.h"
#include "fakes/file_bytes.h"
#include "pitch/memory_wave_stream.h"
#include "pitch/sound.h"
#include "platform/media/ffmpeg_audio_decoder.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/pictures/png_decoder.h"
#include "platform/sound_input/wav_file_input.h"
#include "scene/picture_loader.h"
#include "songs/song_file.h"
#include "songs/standard_song.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <mpg123.h>
#include <numbers>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace cantorix;
namespace demo = assets::demo;

using cantorix::testing::readFile;

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

// The sung values after each 50 ms notification of the sound, analysed as the game does.
std::vector<std::uint8_t> analyseInBursts(const std::vector<std::int16_t>& frames) {
    constexpr std::size_t kBurstFrames = 2205;
    pitch::MemoryWaveStream stream;
    const auto sound = std::make_unique<pitch::TSound>();
    std::vector<std::uint8_t> values;
    for (std::size_t at = 0; at < frames.size(); at += kBurstFrames) {
        const std::size_t count = std::min(kBurstFrames, frames.size() - at);
        stream.append(reinterpret_cast<const std::uint8_t*>(frames.data() + at), 2 * count);
        sound->OnSoundCaptured(stream);
        sound->Analyse();
        values.push_back(sound->sungValue());
    }
    return values;
}

std::vector<demo::SungNote> melodyOf(const demo::Tune& tune) {
    std::vector<demo::SungNote> notes;
    for (const demo::LyricLine& line : tune.lines)
        notes.insert(notes.end(), line.notes.begin(), line.notes.end());
    return notes;
}

// A one-line song of a single long note, for probing what the analysis makes of a pitch.
demo::Tune oneNoteTune(const std::string& note) {
    demo::TuneSheet sheet;
    sheet.title = "Probe";
    sheet.bpmText = "96";
    sheet.gapMs = 5000;
    sheet.chords = "C | C | C | C | C | C";
    sheet.lines = {"La|" + note + "|16 _|_|16"};
    return demo::buildTune(sheet);
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
    demo::Tune tune() const {
        for (const demo::TuneSheet& sheet : demo::demoTunes())
            if (std::string(demo::kDemoArtist) + " - " + sheet.title == GetParam())
                return demo::buildTune(sheet);
        throw std::runtime_error("no tune for " + GetParam());
    }
    // The song file's notes, without line breaks and the end line.
    std::vector<songs::SongRecord> noteRecords() {
        const songs::SongFile song = loadSongFile();
        std::vector<songs::SongRecord> notes;
        for (std::size_t k = 0; k + 1 < song.recordCount(); ++k)
            if (!song.songRecords()[k].isBreak)
                notes.push_back(song.songRecords()[k]);
        return notes;
    }
};

} // namespace

TEST(MelodyPitchTest, TicksCountOnlyWhenTheirWholeBlockLiesInsideTheSpan) {
    // Tick j's block is the 4096 frames before (j + 1) * 2205.
    const demo::TickSpan span = demo::ticksInside(10000, 20000, 100000);
    EXPECT_EQ(span.first, 6u); // 15435 - 4096 = 11339; tick 5 would begin at 9134
    EXPECT_EQ(span.end, 9u);   // tick 8 ends at 19845, tick 9 at 22050
    const demo::TickSpan tooShort = demo::ticksInside(10000, 14500, 100000);
    EXPECT_EQ(tooShort.first, tooShort.end);
    const demo::TickSpan last = demo::ticksInside(5000, 10000, 10000); // the last tick is short
    EXPECT_EQ(last.first, 4u);
    EXPECT_EQ(last.end, 5u);
}

TEST(MelodyPitchTest, WritesWhatTheAnalysisHearsAndRefusesWhatItCannotJudge) {
    EXPECT_EQ(demo::melodyPitches(oneNoteTune("A3")), std::vector<int>{21});
    EXPECT_EQ(demo::melodyPitches(oneNoteTune("A4")), std::vector<int>{42});
    // B4 lies between the two highest candidates and flips between them; C#5 lies beyond them.
    for (const char* note : {"B4", "C#5"}) {
        try {
            demo::melodyPitches(oneNoteTune(note));
            ADD_FAILURE() << note << " was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("Probe: note 'La' at beat 0"), std::string::npos)
                << e.what();
        }
    }
    EXPECT_THROW(demo::songText(oneNoteTune("A3"), {}, "x.mp3"), std::runtime_error);
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
// note's own frequency is the strongest of all the frequencies the melody uses.
TEST_P(DemoSongsTest, MelodyInTheAudioFollowsTheSongFile) {
    const songs::SongFile song = loadSongFile();
    const std::vector<songs::SongRecord> records = noteRecords();
    const std::vector<demo::SungNote> melody = melodyOf(tune());
    ASSERT_EQ(records.size(), melody.size());
    std::set<double> melodyHz;
    for (const demo::SungNote& note : melody)
        melodyHz.insert(demo::midiNoteHz(note.midiNote));
    const Audio audio = decodeMp3(folder() / (GetParam() + ".mp3"));
    ASSERT_EQ(audio.rate, 44100);
    const double beatMs = 15000.0 / song.bpm();
    for (std::size_t k = 0; k < records.size(); ++k) {
        const songs::SongRecord& r = records[k];
        ASSERT_EQ(r.startBeat, melody[k].startBeat) << r.syllable;
        const double middleMs = song.gapValue() + (r.startBeat + r.length / 2.0) * beatMs;
        double strongestHz = 0.0;
        double best = 0.0;
        for (const double hz : melodyHz)
            if (const double s = strengthAt(audio, middleMs, hz, 8192); s > best) {
                best = s;
                strongestHz = hz;
            }
        EXPECT_EQ(strongestHz, demo::midiNoteHz(melody[k].midiNote))
            << "'" << r.syllable << "' at beat " << r.startBeat;
    }
    const songs::SongRecord& last = records.back();
    EXPECT_LT(song.gapValue() + (last.startBeat + last.length) * beatMs, audio.lengthMs());
}

// The lead voice alone, written as a WAV file and read back as the game's WAV microphone reads
// it: silent before the first note, and at the middle of every note the game's analysis scores
// it at exactly the pitch the song file holds.
TEST_P(DemoSongsTest, LeadVoiceAloneIsSungAtTheSongFilesPitches) {
    const std::filesystem::path wav =
        std::filesystem::path(::testing::TempDir()) / (GetParam() + ".voice.wav");
    demo::writeLeadVoiceWav(tune(), wav);
    const std::string bytes = readFile(wav);
    std::filesystem::remove(wav);
    const std::vector<std::int16_t> frames = platform::convertWavForCapture(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const std::vector<std::uint8_t> values = analyseInBursts(frames);

    const songs::SongFile song = loadSongFile();
    const double beatMs = 15000.0 / song.bpm();
    EXPECT_NEAR(double(frames.size()) / 44.1, demo::songLengthMs(tune()), 1.0);
    const auto gapTicks = static_cast<std::size_t>(song.gapValue() / 50.0);
    EXPECT_TRUE(std::all_of(values.begin(), values.begin() + gapTicks,
                            [](std::uint8_t v) { return v == pitch::kSilenceSungValue; }));
    for (const songs::SongRecord& r : noteRecords()) {
        const double middleMs = song.gapValue() + (r.startBeat + r.length / 2.0) * beatMs;
        // Tick j analyses the 4096 samples before (j + 1) * 2205: take the one centred nearest.
        const long tick = std::lround((middleMs * 44.1 + 2048) / 2205) - 1;
        ASSERT_TRUE(tick >= 0 && std::size_t(tick) < values.size()) << r.syllable;
        EXPECT_EQ(values[std::size_t(tick)], r.pitch)
            << "'" << r.syllable << "' at beat " << r.startBeat;
    }
}

// The generator's command for singing tests writes the same voice, found by title or folder.
TEST_P(DemoSongsTest, VoiceCommandWritesTheLeadVoice) {
    const std::filesystem::path wav =
        std::filesystem::path(::testing::TempDir()) / (GetParam() + ".command.wav");
    const std::string command = std::string("\"") + CANTORIX_DEMO_SONG_MAKER + "\" --voice \"" +
                                GetParam() + "\" \"" + wav.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string written = readFile(wav);
    demo::writeLeadVoiceWav(tune(), wav);
    EXPECT_TRUE(written == readFile(wav));
    std::filesystem::remove(wav);
}

TEST(DemoSongMakerTest, RefusesAnUnknownSong) {
    const std::string command = std::string("\"") + CANTORIX_DEMO_SONG_MAKER +
                                "\" --voice \"No Such Song\" /dev/null 2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0);
}

// The duet in the standard format: two named voices taking turns, golden and freestyle notes,
// pitches in the singable range, Ogg Vorbis audio as long as the music, and its pictures.
TEST(DuetDemoSongTest, StandardSongWithItsMediaReadsBack) {
    const std::filesystem::path folder = kSongs / "Cantorix - Two Lighthouses";
    const songs::StandardSong song =
        songs::readStandardSong(readFile(folder / "Cantorix - Two Lighthouses.txt"));
    EXPECT_EQ(song.version, "1.0.0");
    EXPECT_EQ(song.skipped, 0);
    EXPECT_DOUBLE_EQ(song.beatMs, 150.0);
    ASSERT_EQ(song.voices.size(), 2u);
    EXPECT_EQ(song.voices[0].name, "Harbour Keeper");
    EXPECT_EQ(song.voices[1].name, "Island Keeper");
    std::set<char> kinds;
    for (const songs::StandardVoice& voice : song.voices) {
        EXPECT_EQ(voice.breaks.size(), 1u) << "two lines each";
        for (const songs::StandardNote& note : voice.notes) {
            kinds.insert(static_cast<char>(note.kind));
            EXPECT_GE(note.pitch, -5) << note.text; // G3
            EXPECT_LE(note.pitch, 12) << note.text; // C5
        }
    }
    EXPECT_EQ(kinds, (std::set<char>{':', '*', 'F'}));
    // The preview starts where the second voice first sings.
    ASSERT_TRUE(song.previewStartMs);
    EXPECT_DOUBLE_EQ(*song.previewStartMs, song.beatToMs(song.voices[1].notes.front().startBeat));

    platform::FfmpegAudioDecoder audio(folder / song.audio);
    EXPECT_EQ(audio.sampleRate(), 44100);
    EXPECT_NEAR(double(audio.lengthFrames()) / 44.1, demo::songLengthMs(demo::composeDuet().tune),
                1.0);
    EXPECT_GT(song.beatToMs(song.voices[1].notes.back().startBeat), 0.0);
    EXPECT_LT(song.beatToMs(song.voices[1].notes.back().startBeat), audio.lengthMs());

    platform::LibJpegDecoder jpeg;
    platform::LibPngDecoder png;
    scene::PictureFileLoader loader(jpeg, png);
    EXPECT_EQ(loader.load(folder / song.cover).width, 600);
    EXPECT_EQ(loader.load(folder / song.background).width, 800);
}

INSTANTIATE_TEST_SUITE_P(Songs, DemoSongsTest, ::testing::ValuesIn(kDemoSongs),
                         [](const auto& info) {
                             std::string name = info.param.substr(info.param.find('-') + 2);
                             std::erase(name, ' ');
                             return name;
                         });
