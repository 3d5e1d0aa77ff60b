// A medley sung through the real window: three standard songs marked with Insert on the
// selection screen, F8 answered "the marked songs", their parts sung back to back from a WAV
// microphone over one stream of music, the score page, the records' parts, and Back to the songs.
// Then a medley with a duet in it queued for a guest, taken from the party queue in its turn and
// sung by two singers, each by voice.

#include "fakes/file_bytes.h"
#include "game_window_fixture.h"
#include "platform/media/ffmpeg_video_decoder.h"
#include "platform/sound_input/capture_input_set.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/storage/sqlite_record_store.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "songs/medley_song.h"
#include "sung_voice.h"

#include <QImage>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

namespace fs = std::filesystem;
using namespace cantorix;
using cantorix::testing::waitUntil;

const char* const kDemoFolder = "Cantorix - Two Lighthouses";
const char* const kClipFolder = "Cantorix - Harbour Lights";
const songs::MedleyTiming kTiming{500, 300};

// Two lines of four notes at BPM 100 (150 ms a beat) after a 1 s gap; the second line, 3.1 s
// to 4.6 s of song time, is the medley part its tags name. A duet's second voice sings a third
// above the first.
std::string songText(const std::string& title, bool duet = false, bool clip = false) {
    std::string text = "#VERSION:1.0.0\n#TITLE:" + title +
                       "\n#ARTIST:Medley Tests\n#AUDIO:music.ogg\n#BPM:100\n#GAP:1000\n"
                       "#MEDLEYSTARTBEAT:14\n#MEDLEYENDBEAT:21\n" +
                       (clip ? "#VIDEO:clip.avi\n" : "");
    const int pitches[] = {0, 2, 4, 5, 7, 5, 4, 2};
    for (int voice = 0; voice < (duet ? 2 : 1); ++voice) {
        if (duet)
            text += voice == 0 ? "P1\n" : "P2\n";
        for (int n = 0; n < 8; ++n) {
            if (n == 4)
                text += "- 12\n";
            text += ": " + std::to_string(n < 4 ? 2 * n : 14 + 2 * (n - 4)) + " 2 " +
                    std::to_string(pitches[n] + 4 * voice) + " la" + std::to_string(n) + " \n";
        }
    }
    return text + "E\n";
}

class MedleyWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    void TearDown() override {
        SingingWindowTest::TearDown();
        m_inputs.reset();
        m_records.reset();
    }
    // The songs in the program directory, each with a copy of the demo's music; the medley the
    // window will make of them in this order. Nothing when the demo songs were not built.
    std::optional<songs::MedleySong> writeSongs(const std::vector<std::string>& titles,
                                                const std::string& duet = {},
                                                const std::string& withClip = {}) {
        const fs::path demo = fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kDemoFolder;
        if (!fs::exists(demo / (std::string(kDemoFolder) + ".ogg")))
            return std::nullopt;
        m_root = cantorix::testing::makeProgramRoot("cantorix-medley", {});
        std::vector<songs::MedleyPiece> pieces;
        for (const std::string& title : titles) {
            const fs::path folder = m_root / "songs" / ("Medley Tests - " + title);
            fs::create_directories(folder);
            // A copy: music reached through a link to another folder is not the song's own.
            fs::copy_file(demo / (std::string(kDemoFolder) + ".ogg"), folder / "music.ogg");
            cantorix::testing::writeFile(folder / "song.txt",
                                         songText(title, title == duet, title == withClip));
            if (title == withClip)
                fs::copy_file(fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kClipFolder /
                                  "harbour.avi",
                              folder / "clip.avi");
            songs::StandardSong song = songs::readStandardSong(songText(title, title == duet));
            const songs::MedleyPart part = *songs::findMedleyPart(song).part;
            pieces.push_back({std::move(song), part, folder / "music.ogg", 30'000});
        }
        return songs::buildMedleySong(pieces, kTiming);
    }
    // Marks the songs with Insert, turning the ring with Right; their titles in marking order.
    std::vector<std::string> markAll(const std::vector<std::string>& titles) {
        QWidget* viewer = m_form->viewer();
        QTest::keyClick(viewer, Qt::Key_Home);
        std::vector<std::string> marked;
        for (std::size_t k = 0; k < titles.size(); ++k) {
            if (!waitUntil([&] {
                    const std::string shown = m_game->selection.title->text();
                    return std::find(titles.begin(), titles.end(), shown) != titles.end() &&
                           std::find(marked.begin(), marked.end(), shown) == marked.end();
                }))
                return marked;
            marked.push_back(m_game->selection.title->text());
            QTest::keyClick(viewer, Qt::Key_Insert);
            if (k + 1 < titles.size())
                QTest::keyClick(viewer, Qt::Key_Right);
        }
        return marked;
    }

    platform::AubioSemitoneTracker m_semitones;
    std::unique_ptr<platform::SqliteRecordStore> m_records;
    std::unique_ptr<platform::CaptureInputSet> m_inputs;
};

TEST_F(MedleyWindowTest, MarkedSongsAreSungBackToBackAndKeptAsTheirParts) {
    const std::vector<std::string> titles = {"Anchor", "Breakwater", "Cormorant"};
    // Every song alike, so the medley's voice is known beforehand.
    const std::optional<songs::MedleySong> medley = writeSongs(titles);
    if (!medley)
        GTEST_SKIP() << "the demo songs have not been built";
    const fs::path wav = m_root / "voice.wav";
    cantorix::testing::writeMonoWav(wav, cantorix::testing::recordedVoice(medley->song, 0));

    auto input = std::make_unique<platform::WavFileInput>(m_capture.hub(), wav);
    m_records = std::make_unique<platform::SqliteRecordStore>(m_root / "records.sqlite3");
    app::AppServices services = this->services();
    services.sessionInput = input.get();
    services.semitones = &m_semitones;
    services.recordStore = m_records.get();
    m_input = std::move(input);
    ASSERT_TRUE(showWindow(services));
    app::GameScene& g = *m_game;
    m_form->setMedleyTiming(kTiming);
    std::optional<std::size_t> askedWithMarks;
    m_form->setMedleyQuestion([&](std::size_t marked, const std::vector<std::string>&) {
        askedWithMarks = marked;
        return app::MedleyAnswer{.request = {.songs = 3, .fromMarked = true}};
    });

    // Insert marks the song shown; Right turns to the next. The medley sings them as marked.
    QWidget* viewer = m_form->viewer();
    const std::vector<std::string> marked = markAll(titles);
    ASSERT_EQ(marked.size(), 3u) << g.selection.title->text();
    EXPECT_EQ(m_form->medleyMarks().size(), 3u);
    EXPECT_NE(g.selection.libraryStatus->text().find("3 marked for a medley"), std::string::npos)
        << g.selection.libraryStatus->text();

    QTest::keyClick(viewer, Qt::Key_F8);
    EXPECT_EQ(askedWithMarks, 3u);
    ASSERT_TRUE(g.singing.group->visible());
    EXPECT_EQ(g.selection.title->text(), "Medley (3)");
    ASSERT_TRUE(waitUntil([&] { return g.scorePage.group->visible(); }, 30000));

    // One line a song, each sung in tune and judged.
    const session::Scoring& scoring = m_form->session().scoring();
    ASSERT_EQ(scoring.lines().size(), 3u);
    for (const session::LineTally& line : scoring.lines()) {
        EXPECT_GT(line.possible, 0);
        EXPECT_GT(line.points, line.possible / 2) << "line at " << line.startMs;
    }
    // Only when asked for: CANTORIX_SCREENSHOTS names a folder for a look at the page.
    if (const char* folder = std::getenv("CANTORIX_SCREENSHOTS")) {
        m_form->viewer()->update();
        QTest::qWait(100);
        m_form->viewer()->grabFramebuffer().save(
            QString::fromStdString((fs::path(folder) / "medley-score-page.png").string()));
    }
    // The page gives each song's share beside the totals, in the order sung.
    const std::string shares = g.scorePage.recordNews->caption();
    std::size_t at = 0;
    for (const std::string& title : marked) {
        at = shares.find(title + " ", at);
        ASSERT_NE(at, std::string::npos) << shares;
    }
    EXPECT_NE(shares.find('%'), std::string::npos) << shares;
    // Kept as three parts, one a song, never the medley as a song.
    ASSERT_TRUE(waitUntil([&] { return m_form->records().book().performances().size() == 3; }));
    for (std::size_t k = 0; k < titles.size(); ++k) {
        const records::Performance& part = m_form->records().book().performances()[k];
        EXPECT_EQ(part.title, marked[k]);
        EXPECT_TRUE(part.medleyPart);
        EXPECT_EQ(part.notePoints, scoring.lines()[k].points);
    }
    EXPECT_TRUE(m_form->medleyMarks().empty()) << "the marks were used";

    click(*g.scorePage.backButton);
    ASSERT_TRUE(g.selection.group->visible());
    EXPECT_TRUE(waitUntil([&] { return g.selection.title->text() == marked.back(); }))
        << "the ring's own song is shown again, not " << g.selection.title->text();
}

TEST_F(MedleyWindowTest, AQueuedMedleyWithADuetIsSungInItsTurnByTwoSingers) {
    const std::vector<std::string> titles = {"Anchor", "Breakwater", "Cormorant"};
    const std::optional<songs::MedleySong> medley = writeSongs(titles, "Breakwater", "Breakwater");
    if (!medley)
        GTEST_SKIP() << "the demo songs have not been built";
    ASSERT_EQ(medley->song.voices.size(), 2u);
    // A stereo receiver: two singers, each singing their own voice of the medley.
    const fs::path receiver = m_root / "receiver.wav";
    cantorix::testing::writeStereoWav(receiver, cantorix::testing::recordedVoice(medley->song, 0),
                                      cantorix::testing::recordedVoice(medley->song, 1));
    m_inputs = std::make_unique<platform::CaptureInputSet>(platform::CaptureInputSet::Options{
        .micWavs = {receiver},
        .listDevices = [] { return std::vector<platform::AlsaCaptureDevice>{}; },
        .systemDefaultInput = false,
        .externalInputs = {}});
    m_inputs->relist();
    m_records = std::make_unique<platform::SqliteRecordStore>(m_root / "records.sqlite3");
    app::AppServices services = this->services();
    services.inputs = m_inputs.get();
    services.recordStore = m_records.get();
    services.makeSemitoneTracker = [] {
        return std::make_unique<platform::AubioSemitoneTracker>();
    };
    services.videoDecoders = [] { return std::make_unique<platform::FfmpegVideoDecoder>(); };
    ASSERT_TRUE(showWindow(services));
    app::GameScene& g = *m_game;
    m_form->setMedleyTiming(kTiming);
    std::vector<std::string> guestsOffered = {"none asked"};
    m_form->setMedleyQuestion([&](std::size_t, const std::vector<std::string>& guests) {
        guestsOffered = guests;
        return app::MedleyAnswer{.request = {.songs = 3, .fromMarked = true}, .queueFor = "Ann"};
    });

    // Queued, not sung: one entry of a new guest's, captioned, its songs in the order marked.
    const std::vector<std::string> marked = markAll(titles);
    ASSERT_EQ(marked.size(), 3u) << g.selection.title->text();
    QTest::keyClick(m_form->viewer(), Qt::Key_F8);
    EXPECT_TRUE(guestsOffered.empty());
    EXPECT_FALSE(g.singing.group->visible());
    std::vector<party::QueueRow> rows = m_form->party().rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].title, "Medley \xC2\xB7 3 songs \xC2\xB7 marked");
    EXPECT_EQ(rows[0].artist, marked[0] + ", " + marked[1] + ", " + marked[2]);
    EXPECT_EQ(rows[0].singers, std::vector<std::string>{"Ann"});
    EXPECT_TRUE(m_form->medleyMarks().empty());
    EXPECT_NE(g.selection.libraryStatus->text().find("a medley queued for Ann"), std::string::npos)
        << g.selection.libraryStatus->text();

    // The queue's turn: F6, T ("Take songs"), Escape; Next up shows the medley, Start sings it.
    QTest::keyClick(m_form->viewer(), Qt::Key_F6);
    ASSERT_TRUE(m_form->queueScreen().shown());
    QTest::keyClick(m_form->viewer(), Qt::Key_T);
    QTest::keyClick(m_form->viewer(), Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return g.nextUp.group->visible(); }));
    EXPECT_EQ(g.nextUp.title->caption(), rows[0].title);
    EXPECT_EQ(g.nextUp.singers[1]->caption(), "and everyone seated sings along");
    click(*g.nextUp.startButton);
    ASSERT_TRUE(waitUntil([&] { return g.singing.group->visible(); }));
    EXPECT_EQ(g.selection.title->text(), "Medley (3)");
    EXPECT_TRUE(m_form->party().rows().empty());
    // Only Breakwater has a clip: it plays while that song is sung, and no longer.
    stage::VideoPlane& video = *m_form->videoPlane();
    EXPECT_EQ(video.opened(), marked[0] == "Breakwater");
    EXPECT_TRUE(waitUntil([&] { return video.opened() && video.node().visible(); }, 30000));
    EXPECT_EQ(video.fileName().filename(), "clip.avi");
    EXPECT_TRUE(waitUntil([&] { return !video.opened() || g.scorePage.group->visible(); }, 30000));
    ASSERT_TRUE(waitUntil([&] { return g.scorePage.group->visible(); }, 30000));

    // Both seated singers sang every song, the duet by voice.
    const std::vector<app::SingerOutcome>& outcomes = m_form->session().outcomes();
    ASSERT_EQ(outcomes.size(), 2u);
    for (const app::SingerOutcome& outcome : outcomes) {
        ASSERT_EQ(outcome.scoring.lines().size(), 3u) << outcome.name;
        for (const session::LineTally& line : outcome.scoring.lines())
            EXPECT_GT(line.points, line.possible / 2)
                << outcome.name << " line at " << line.startMs;
    }
    EXPECT_NE(outcomes[0].voice, outcomes[1].voice);
    // The table gives each singer's shares in the order sung, within its column.
    EXPECT_EQ(g.scorePage.tableNewsHeading->caption(), "Songs (%)");
    const scene::TGLLabel& shares = *g.scorePage.tableNews[0];
    EXPECT_EQ(std::count(shares.caption().begin(), shares.caption().end(), '%'), 0);
    EXPECT_EQ(shares.caption().find('\n'), std::string::npos) << shares.caption();
    EXPECT_LE(shares.bitmapFont()->textWidth(shares.caption()), shares.width()) << shares.caption();
    // Six parts kept, one a singer a song; the duet's by the voice each sang.
    ASSERT_TRUE(waitUntil([&] { return m_form->records().book().performances().size() == 6; }));
    std::set<int> duetVoices;
    for (const records::Performance& part : m_form->records().book().performances()) {
        EXPECT_TRUE(part.medleyPart);
        if (part.title == "Breakwater")
            duetVoices.insert(part.key.voice);
    }
    EXPECT_EQ(duetVoices, (std::set<int>{1, 2}));
}

} // namespace
