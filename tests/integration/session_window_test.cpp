// Whole singing sessions in the real main window: a demo song played through the null sound
// output while a WAV file stands in for the microphone, from the Start click to the hall of fame.

#include "app/error_guard.h"
#include "game_window_fixture.h"
#include "platform/sound_input/silent_input.h"
#include "platform/sound_input/wav_file_input.h"
#include "songs/song_file.h"
#include "stage/lane_scene.h"

#include <QApplication>
#include <QImage>
#include <QSurfaceFormat>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

const char* const kSongTitle = "Paper Kites";
const char* const kSongFolder = "Cantorix - Paper Kites";
constexpr int kTickMs = 50;

std::uint32_t le32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The pitch of the note sounding at a play position, or -1 between notes.
int melodyPitchAt(const songs::SongFile& song, std::int64_t positionMs) {
    const double beat =
        (static_cast<double>(positionMs) / 100.0 - song.leadInTime()) * song.bpm() / 150.0;
    for (std::size_t i = 0; i < song.recordCount(); ++i) {
        const songs::SongRecord& r = song.songRecords()[i];
        const double start = r.startBeat - song.songRecords()[0].startBeat;
        if (!r.isBreak && beat >= start && beat < start + r.length)
            return r.pitch;
    }
    return -1;
}

// The 50 ms ticks the song's notes cover, and the stretches of notes that follow each other
// without a gap at one pitch: the singer's pitch changes only between stretches.
struct NoteTicks {
    double ticks = 0;
    int stretches = 0;
};

NoteTicks noteTicksOf(const songs::SongFile& song) {
    const double msPerBeat = 15000.0 / song.bpm();
    NoteTicks result;
    const songs::SongRecord* previous = nullptr;
    for (std::size_t i = 0; i < song.recordCount(); ++i) {
        const songs::SongRecord& r = song.songRecords()[i];
        if (r.isBreak || r.length == 0)
            continue;
        result.ticks += r.length * msPerBeat / kTickMs;
        const bool continues = previous && previous->pitch == r.pitch &&
                               previous->startBeat + previous->length == r.startBeat;
        result.stretches += continues ? 0 : 1;
        previous = &r;
    }
    return result;
}

class SessionWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    void SetUp() override {
        m_root = cantorix::testing::makeProgramRoot("cantorix-session", {kSongFolder});
    }
    // With a voice, the demo song's melody sung into a WAV file stands in for the microphone as
    // `--mic` does: silent on the menus, heard from the song's start on.
    app::MainWindow& start(bool withVoice = false) {
        app::AppServices services = this->services();
        if (withVoice) {
            const fs::path voice = m_root / "voice.wav";
            const std::string command = std::string("'") + CANTORIX_PROGRAM_DIR +
                                        "/assets/cantorix_make_demo_songs' --voice '" + kSongTitle +
                                        "' '" + voice.string() + "' >/dev/null 2>&1";
            EXPECT_EQ(std::system(command.c_str()), 0) << command;
            auto input = std::make_unique<platform::WavFileInput>(m_capture.hub(), voice);
            services.sessionInput = input.get();
            m_input = std::move(input);
        } else {
            m_input = std::make_unique<platform::SilentInput>(m_capture.hub());
        }
        EXPECT_TRUE(showWindow(services));
        return *m_form;
    }
    void startSinging() {
        click(*m_game->selection.startButton);
        ASSERT_TRUE(m_game->singing.group->visible());
    }
    void key(Qt::Key k) { QTest::keyClick(m_form->viewer(), k); }
    // Plays on until position, in ms of the song.
    bool playUntil(std::int64_t positionMs) {
        return waitUntil([&] { return m_player.position() >= positionMs; }, 60000);
    }
    const session::Scoring& scoring() { return m_form->session().scoring(); }
    void saveFrame(const char* file) { m_form->viewer()->grabFramebuffer().save(file); }
};

TEST_F(SessionWindowTest, SungMelodyScoresRecordsAndReachesTheHallOfFame) {
    app::MainWindow& form = start(true);
    app::GameScene& g = *m_game;
    startSinging();
    // The clock rounds the beat, so each record is entered up to half a beat before its note
    // sounds: from then on the lane targets that very note.
    const double halfBeatMs = 15000.0 / form.songFile().bpm() / 2;
    int mismatches = 0, samples = 0;
    const std::int64_t length = m_player.length();
    bool framed = false;
    while (g.singing.group->visible()) {
        QTest::qWait(5);
        const std::int64_t now = m_player.position();
        const int sounding = melodyPitchAt(form.songFile(), now + std::llround(halfBeatMs));
        if (sounding >= 0) {
            ++samples;
            mismatches += sounding != form.session().lane().timeline().targetPitch() ? 1 : 0;
        }
        // Mid-line of the first verse: lyrics, bars and the trail are all on screen.
        if (!framed && now > 8000) {
            saveFrame("/tmp/cantorix-singing.png");
            EXPECT_GT(g.singing.noteBars->count(), 0);
            EXPECT_GT(g.singing.lyrics->count(), 0);
            EXPECT_GT(g.singing.voiceTrail->count(), 1);
            framed = true;
        }
        ASSERT_LT(now, 60000);
    }
    ASSERT_TRUE(g.scorePage.group->visible());
    EXPECT_EQ(g.scorePage.guiRoot->tag(), 1);
    EXPECT_FALSE(form.session().clockRunning());
    const session::SessionTimings& t = form.session().timings();
    std::cout << "clock tick ms: mean " << t.clockTickMs.mean() << " max " << t.clockTickMs.max()
              << " (" << t.clockTickMs.count() << ")\nanalysis tick ms: mean "
              << t.analysisTickMs.mean() << " max " << t.analysisTickMs.max() << " ("
              << t.analysisTickMs.count() << ")\nrecord entry after its beat ms: mean "
              << t.entryLatenessMs.mean() << " min " << t.entryLatenessMs.min() << " max "
              << t.entryLatenessMs.max() << " (" << t.entryLatenessMs.count()
              << ")\nframe drawing ms: mean "
              << m_form->viewer()->paintMilliseconds() /
                     static_cast<double>(
                         std::max<std::uint64_t>(1, m_form->viewer()->framesRendered()))
              << " max " << m_form->viewer()->longestPaintMilliseconds() << " ("
              << m_form->viewer()->framesRendered()
              << ")\nmissed semitone windows: " << t.missedWindows << "\n";
    // A record is never entered before its beat is reached.
    EXPECT_GE(t.entryLatenessMs.min(), 0.0);
    EXPECT_EQ(t.entryLatenessMs.count(),
              static_cast<std::int64_t>(form.session().lane().lines().lyricsEnd()));
    // Around a note's edges the position sampled here and the clock's beat differ by a tick.
    EXPECT_LE(mismatches, samples / 20) << mismatches << " of " << samples;
    const NoteTicks notes = noteTicksOf(form.songFile());
    const int points = scoring().notePoints();
    std::cout << "note points " << points << ", bonus " << scoring().lineBonus() << ", note ticks "
              << notes.ticks << " in " << notes.stretches << " stretches; target off the note in "
              << mismatches << " of " << samples << " samples\n";
    // Each stretch of one pitch is targeted half a beat before it sounds, and the analysis hears
    // the voice through a 93 ms block and scores it one tick later: a stretch loses those ticks
    // at its start (half a tick more where a loaded machine delays the timers), and may gain
    // one at its end.
    const double lossPerStretch = halfBeatMs / kTickMs + 3.5;
    EXPECT_GE(points, notes.ticks - lossPerStretch * notes.stretches - 2);
    EXPECT_LE(points, notes.ticks + notes.stretches + 2);
    EXPECT_GT(scoring().lineBonus(), points / 8);
    EXPECT_EQ(g.scorePage.notesValue->caption(), std::to_string(points));
    EXPECT_EQ(g.scorePage.totalValue->caption(), std::to_string(scoring().total()));
    EXPECT_EQ(g.scorePage.scoreGauge->top() + g.scorePage.scoreGauge->height(), 460);
    QTest::qWait(100);
    saveFrame("/tmp/cantorix-score.png");

    // 22050 Hz, 16 bits, stereo, as long as the song.
    const std::string wav = readFile(m_root / "data/buffer/mix/buf1.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(wav, 20) & 0xFFFFu, 1u); // PCM
    EXPECT_EQ(le32(wav, 20) >> 16, 2u);     // stereo
    EXPECT_EQ(le32(wav, 24), 22050u);
    EXPECT_EQ(le32(wav, 32), 4u | (16u << 16)); // block align 4, 16 bits
    EXPECT_EQ(le32(wav, 28), 22050u * 4);
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    const std::size_t data = 20 + le32(wav, 16);
    ASSERT_LT(data + 8, wav.size());
    EXPECT_EQ(wav.substr(data, 4), "data");
    EXPECT_EQ(le32(wav, data + 4), wav.size() - data - 8);
    const double seconds = le32(wav, data + 4) / (22050.0 * 4);
    EXPECT_NEAR(seconds, static_cast<double>(length) / 1000.0, 1.5);

    // The box holds the singer's slot name, which the player types over.
    EXPECT_EQ(g.scorePage.playerName->caption(), "Singer 1");
    click(*g.scorePage.playerName);
    key(Qt::Key_End);
    for (std::size_t i = 0; i < std::string("Singer 1").size(); ++i)
        key(Qt::Key_Backspace);
    QTest::keyClicks(m_form->viewer(), "Ada");
    EXPECT_EQ(g.scorePage.playerName->caption(), "Ada");
    click(*g.scorePage.submitButton);
    EXPECT_TRUE(g.selection.group->visible());
    EXPECT_EQ(g.selection.guiRoot->tag(), 1);
    click(*g.selection.scoresButton);
    ASSERT_EQ(g.hallOfFamePage.table->count(), 2);
    EXPECT_NE(static_cast<scene::TGLLabel&>(g.hallOfFamePage.table->child(0)).caption().find("Ada"),
              std::string::npos);
    EXPECT_EQ(static_cast<scene::TGLLabel&>(g.hallOfFamePage.table->child(1)).caption(),
              std::to_string(scoring().total()));
}

TEST_F(SessionWindowTest, SilenceScoresNothingAndEscapeShowsTheScorePage) {
    start();
    app::GameScene& g = *m_game;
    startSinging();
    // Past the first notes, so the trail and the scoring run.
    ASSERT_TRUE(playUntil(7000));
    EXPECT_GT(g.singing.voiceTrail->count(), 1);
    key(Qt::Key_Escape);
    ASSERT_TRUE(g.scorePage.group->visible());
    EXPECT_FALSE(g.singing.group->visible());
    EXPECT_EQ(g.singing.guiRoot->tag(), 0);
    EXPECT_EQ(m_player.length(), 0); // closed
    EXPECT_EQ(scoring().notePoints(), 0);
    EXPECT_EQ(g.scorePage.notesValue->caption(), "0");
    EXPECT_EQ(g.scorePage.bonusValue->caption(), "0");
    EXPECT_EQ(g.scorePage.totalValue->caption(), "0");
    EXPECT_EQ(g.scorePage.scoreGauge->height(), 0);
    EXPECT_EQ(g.scorePage.scoreGauge->top(), 460);
    EXPECT_TRUE(fs::file_size(m_root / "data/buffer/mix/buf1.wav") > 44);
    click(*g.scorePage.backButton);
    EXPECT_TRUE(g.selection.group->visible());
}

// Collects the messages the game shows instead of failing the test on them.
class ShownErrors {
public:
    ShownErrors() {
        app::setErrorPresenter(
            [this](QWidget*, const QString& text) { m_texts.push_back(text.toStdString()); });
    }
    ~ShownErrors() {
        app::setErrorPresenter([](QWidget*, const QString& text) {
            ADD_FAILURE() << "error shown: " << text.toStdString();
        });
    }
    const std::vector<std::string>& texts() const { return m_texts; }

private:
    std::vector<std::string> m_texts;
};

TEST_F(SessionWindowTest, MusicThatCannotBeOpenedEndsTheSessionAtOnce) {
    fs::remove(m_root / "songs" / kSongFolder);
    fs::create_directories(m_root / "songs/Broken");
    std::ofstream(m_root / "songs/Broken/Broken.txt")
        << "#TITLE:Broken\n#ARTIST:Nobody\n#MP3:missing.mp3\n#BPM:100\n#GAP:1000\n"
           ": 0 4 30 la\n- 8\n: 10 4 32 la\nE\n";
    // The preview plays the music; it is gone when the session, started past the song
    // selection's own check of it, opens it.
    fs::copy_file(fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kSongFolder /
                      (std::string(kSongFolder) + ".mp3"),
                  m_root / "songs/Broken/missing.mp3");
    ShownErrors errors;
    start();
    app::GameScene& g = *m_game;
    ASSERT_TRUE(waitUntil([&] { return m_form->songList().itemIndex() >= 0; }));
    ASSERT_EQ(errors.texts().size(), 0u);
    fs::remove(m_root / "songs/Broken/missing.mp3");
    m_form->screens().startSession();
    ASSERT_EQ(errors.texts().size(), 1u);
    EXPECT_NE(errors.texts()[0].find("missing.mp3"), std::string::npos) << errors.texts()[0];
    EXPECT_TRUE(g.scorePage.group->visible());
    EXPECT_FALSE(g.singing.group->visible());
    EXPECT_FALSE(m_form->session().clockRunning());
    EXPECT_EQ(g.scorePage.totalValue->caption(), "0");
}

TEST_F(SessionWindowTest, RecordingThatCannotStartLeavesTheSongPlaying) {
    // A file where the buffer directory should be: the recording has nowhere to go.
    std::ofstream(m_root / "data/buffer") << "in the way";
    start();
    app::GameScene& g = *m_game;
    ShownErrors errors;
    startSinging();
    EXPECT_EQ(errors.texts().size(), 1u);
    EXPECT_TRUE(g.singing.group->visible());
    EXPECT_TRUE(m_form->session().clockRunning());
    ASSERT_TRUE(playUntil(300));
    EXPECT_EQ(g.singing.timeText->text(), "00:00");
    key(Qt::Key_Escape);
    EXPECT_TRUE(g.scorePage.group->visible());
    // Save offers the export name; cancelling it leads back to the song selection.
    bool offered = false;
    QTimer::singleShot(300, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            offered = dialog->inherits("QFileDialog");
            dialog->close();
        }
    });
    click(*g.scorePage.saveButton);
    EXPECT_TRUE(offered);
    EXPECT_TRUE(g.selection.group->visible());
    EXPECT_EQ(g.selection.guiRoot->tag(), 1);
}

TEST_F(SessionWindowTest, PauseHoldsTheSongAndTheTrailUntilPlay) {
    start();
    app::GameScene& g = *m_game;
    startSinging();
    ASSERT_TRUE(playUntil(5500));
    click(*g.singing.pauseButton);
    EXPECT_FALSE(g.singing.pauseButton->visible());
    EXPECT_TRUE(g.singing.playButton->visible());
    EXPECT_TRUE(g.singing.rewindButton->visible());
    // The clock shows the frozen position from its next tick on.
    QTest::qWait(50);
    const int trail = g.singing.voiceTrail->count();
    const std::int64_t position = m_player.position();
    const std::string clock = g.singing.timeText->text();
    const float leadIn = g.singing.leadInBar->width();
    QTest::qWait(400);
    EXPECT_EQ(g.singing.voiceTrail->count(), trail);
    EXPECT_EQ(m_player.position(), position);
    EXPECT_EQ(g.singing.timeText->text(), clock);
    EXPECT_EQ(g.singing.leadInBar->width(), leadIn);
    EXPECT_TRUE(g.singing.group->visible());

    click(*g.singing.playButton);
    EXPECT_TRUE(g.singing.pauseButton->visible());
    EXPECT_FALSE(g.singing.rewindButton->visible());
    EXPECT_TRUE(waitUntil([&] { return g.singing.voiceTrail->count() > trail + 2; }, 2000));
    EXPECT_GT(m_player.position(), position);

    // Rewind starts the song again from its beginning.
    click(*g.singing.pauseButton);
    click(*g.singing.rewindButton);
    EXPECT_TRUE(g.singing.group->visible());
    EXPECT_FALSE(g.scorePage.group->visible());
    EXPECT_EQ(g.selection.guiRoot->tag(), 0);
    EXPECT_EQ(g.singing.guiRoot->tag(), 1);
    EXPECT_LT(m_player.position(), 1000);
    EXPECT_EQ(scoring().notePoints(), 0);
}

} // namespace
