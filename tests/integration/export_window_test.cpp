// The MP3 export through the game's own Save: a demo song sung along by a synthesised voice in
// the real main window, then saved, and the file checked with ffprobe and ffmpeg as a listener
// would find it.

#include "app/export_save.h"
#include "audio/export_window.h"
#include "game_window_fixture.h"
#include "platform/media/codec_manager.h"
#include "platform/sound_input/silent_input.h"
#include "platform/sound_input/wav_file_input.h"

#include <QLabel>
#include <QProgressBar>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

const char* const kSongFolder = "Cantorix - Paper Kites";
constexpr double kVoiceHz = 1000;
constexpr int kOutputRate = 24000;

std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

std::string quote(const fs::path& p) {
    return "'" + p.string() + "'";
}

double probeDuration(const fs::path& file) {
    return std::stod(
        run("ffprobe -v error -show_entries format=duration -of csv=p=0 " + quote(file)));
}

// The file as mono samples at the output rate, decoded by ffmpeg.
std::vector<std::int16_t> decodeMono(const fs::path& file) {
    const std::string bytes = run("ffmpeg -v error -i " + quote(file) + " -f s16le -ac 1 -ar " +
                                  std::to_string(kOutputRate) + " -");
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

double rms(const std::vector<std::int16_t>& s, double fromSec, double toSec) {
    const auto a = static_cast<std::size_t>(fromSec * kOutputRate);
    const auto b = std::min(s.size(), static_cast<std::size_t>(toSec * kOutputRate));
    double sum = 0;
    for (std::size_t i = a; i < b; ++i)
        sum += double(s[i]) * s[i];
    return b > a ? std::sqrt(sum / double(b - a)) : 0;
}

// Amplitude of one frequency over a stretch (Goertzel).
double toneLevel(const std::vector<std::int16_t>& s, double fromSec, double toSec, double hz) {
    const auto a = static_cast<std::size_t>(fromSec * kOutputRate);
    const auto b = std::min(s.size(), static_cast<std::size_t>(toSec * kOutputRate));
    const double w = 2 * std::numbers::pi * hz / kOutputRate;
    double s1 = 0, s2 = 0;
    for (std::size_t i = a; i < b; ++i) {
        const double s0 = s[i] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
    return b > a ? 2 * std::sqrt(power) / double(b - a) : 0;
}

void writeToneWav(const fs::path& file, double seconds) {
    const std::uint32_t rate = 44100;
    const auto n = static_cast<std::uint32_t>(seconds * rate);
    std::ofstream out(file, std::ios::binary);
    const auto le = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.put(static_cast<char>(v >> (8 * i)));
    };
    out << "RIFF";
    le(36 + 2 * n, 4);
    out << "WAVEfmt ";
    le(16, 4), le(1, 2), le(1, 2), le(rate, 4), le(rate * 2, 4), le(2, 2), le(16, 2);
    out << "data";
    le(2 * n, 4);
    for (std::uint32_t i = 0; i < n; ++i)
        le(static_cast<std::uint16_t>(static_cast<std::int16_t>(
               12000 * std::sin(2 * std::numbers::pi * kVoiceHz * i / rate))),
           2);
}

class ExportWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    void SetUp() override {
        m_root = cantorix::testing::makeProgramRoot("cantorix-export", {kSongFolder});
    }
    void TearDown() override {
        m_form.reset();
        m_export.reset();
        SingingWindowTest::TearDown();
    }
    // Sings for singMs of the song (with the tone, or silently), then Escape ends it.
    void singAndEnd(bool withVoice, std::int64_t singMs) {
        // The voice file starts with the song's audio, as `--mic` does.
        app::AppServices services = this->services();
        if (withVoice) {
            writeToneWav(m_root / "voice.wav", static_cast<double>(singMs) / 1000 + 2);
            auto voice =
                std::make_unique<platform::WavFileInput>(m_capture.hub(), m_root / "voice.wav");
            services.sessionInput = voice.get();
            m_input = std::move(voice);
        } else {
            m_input = std::make_unique<platform::SilentInput>(m_capture.hub());
        }
        ASSERT_TRUE(showWindow(services));
        m_export = std::make_unique<audio::ExportWindow>(m_codecs, m_root);
        m_form->session().setExportWindow(m_export.get());
        click(*m_form->game().selection.startButton);
        ASSERT_TRUE(m_form->game().singing.group->visible());
        ASSERT_TRUE(waitUntil([&] { return m_player.position() >= singMs; }, 60000));
        QTest::keyClick(m_form->viewer(), Qt::Key_Escape);
        ASSERT_TRUE(m_form->game().scorePage.group->visible());
    }
    fs::path songAudio() const {
        return m_root / "songs" / kSongFolder / (std::string(kSongFolder) + ".mp3");
    }

    platform::CodecManager m_codecs;
    std::unique_ptr<audio::ExportWindow> m_export;
};

TEST_F(ExportWindowTest, SavedPerformanceIsTheSongMixedWithTheVoice) {
    constexpr std::int64_t kSingMs = 6000;
    singAndEnd(true, kSingMs);
    const fs::path chosen = m_root / "Performance.mp3";
    std::string proposed;
    m_form->session().setSaveDialog([&](QWidget&, const std::string& name) {
        proposed = name;
        return std::optional<fs::path>(chosen);
    });
    click(*m_form->game().scorePage.saveButton);
    EXPECT_EQ(proposed, app::proposedExportName(m_form->session().exportFileName()));
    EXPECT_EQ(fs::path(proposed).extension(), ".mp3");
    ASSERT_TRUE(waitUntil([&] { return !m_export->converting(); }, 30000));
    EXPECT_FALSE(m_export->isVisible());
    EXPECT_EQ(m_export->statusLabel->text(), "Converted");
    EXPECT_EQ(m_export->progressBar->value(), 0);
    // Confirming leaves the score page on screen.
    EXPECT_TRUE(m_form->game().scorePage.group->visible());

    const std::string streams = run("ffprobe -v error -show_streams " + quote(chosen));
    EXPECT_NE(streams.find("codec_name=mp3\n"), std::string::npos) << streams;
    EXPECT_NE(streams.find("sample_rate=24000\n"), std::string::npos) << streams;
    EXPECT_NE(streams.find("channels=2\n"), std::string::npos) << streams;
    EXPECT_NE(streams.find("bit_rate=56000\n"), std::string::npos) << streams;
    const std::string format =
        run("ffprobe -v error -show_entries format=format_name -of csv=p=0 " + quote(chosen));
    EXPECT_EQ(format, "mp3\n");
    // The song is the longer input; one frame of layer 3 at 24000 Hz is 576 samples.
    EXPECT_NEAR(probeDuration(chosen), probeDuration(songAudio()), 576.0 / kOutputRate);

    // The voice sounds while it was sung and not after; the music sounds at six tenths.
    const auto mix = decodeMono(chosen);
    const auto song = decodeMono(songAudio());
    const double voiceWhileSung = toneLevel(mix, 1.0, 5.0, kVoiceHz);
    const double voiceAfter = toneLevel(mix, 10.0, 40.0, kVoiceHz);
    std::cout << "voice tone " << voiceWhileSung << " while sung, " << voiceAfter
              << " after; music " << rms(mix, 10.0, 40.0) << " against the song's "
              << rms(song, 10.0, 40.0) << "\n";
    EXPECT_GT(voiceWhileSung, 1000.0);
    EXPECT_GT(voiceWhileSung, 20 * voiceAfter);
    // Six tenths of the song's level, a little less where the 56 kbit/s encoder cuts the highs.
    const double musicRatio = rms(mix, 10.0, 40.0) / rms(song, 10.0, 40.0);
    EXPECT_GT(musicRatio, 0.5);
    EXPECT_LT(musicRatio, 0.65);
    // Only the mix file is gone; the intermediate files stay.
    EXPECT_TRUE(fs::exists(m_root / "data/buffer/buf.wav"));
    EXPECT_TRUE(fs::exists(m_root / "data/buffer/mix/buf.wav"));
    EXPECT_FALSE(fs::exists(m_export->job().mixFile()));
    EXPECT_FALSE(fs::exists(m_root / "Performance.mp3.part"));
}

TEST_F(ExportWindowTest, CancelledDialogGoesBackAndWritesNothing) {
    singAndEnd(false, 500);
    bool asked = false;
    m_form->session().setSaveDialog([&](QWidget&, const std::string&) {
        asked = true;
        return std::optional<fs::path>();
    });
    click(*m_form->game().scorePage.saveButton);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(m_form->game().selection.group->visible());
    EXPECT_EQ(m_form->game().selection.guiRoot->tag(), 1);
    EXPECT_FALSE(m_export->isVisible());
    QTest::qWait(700);
    EXPECT_FALSE(fs::exists(m_root / "data/buffer/buf.wav"));
    EXPECT_FALSE(fs::exists(m_root / "data/buffer/mix/buf.wav"));
    for (const auto& entry : fs::recursive_directory_iterator(m_root))
        EXPECT_NE(entry.path().extension(), ".mp3") << entry.path();
}

} // namespace
