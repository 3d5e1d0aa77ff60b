// An evening as guests live it, in the real main window, through clicks and keys only: two
// singers of a stereo WAV sing the demo duet and submit their score; the selection shows the
// song's new records; a guest's phone (headless Chromium) joins a free slot; the first singer and
// the phone sing a solo song, the phone's page is closed mid-song and opened again in the same
// browser and takes its own slot back; the score is submitted; the statistics open and close.
// Each step is checked by the screens' state and kept as a screenshot (in $CANTORIX_SCREENSHOTS,
// else cantorix-evening-screenshots/ in the temporary folder).

#include "app/qt_main_thread_invoker.h"
#include "fakes/file_bytes.h"
#include "game_window_fixture.h"
#include "headless_chromium.h"
#include "platform/phones/phone_server.h"
#include "platform/sound_input/capture_input_set.h"
#include "platform/storage/sqlite_record_store.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "stage/singer_scores.h"
#include "sung_voice.h"

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>

namespace {

using namespace cantorix;
using cantorix::testing::HeadlessChromium;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

const char* const kDuet = "Cantorix - Two Lighthouses";
const char* const kSolo = "Cantorix - Paper Kites";
const char* const kKey = "00112233445566778899aabbccddeeff";
constexpr std::size_t kPhoneSlot = 3;
// Chromium takes seconds to start, and a tab to load, on a busy machine; a whole song a minute or
// so.
constexpr int kBrowserMs = 60000;
constexpr int kSongMs = 120000;

class EveningWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    void shoot(const std::string& name) {
        const char* folder = std::getenv("CANTORIX_SCREENSHOTS");
        const fs::path place =
            folder ? fs::path(folder) : fs::current_path() / "evening-screenshots";
        fs::create_directories(place);
        m_form->viewer()->update();
        QTest::qWait(100);
        const fs::path file = place / (name + ".png");
        m_form->viewer()->grabFramebuffer().save(QString::fromStdString(file.string()));
        std::cout << "screenshot " << file.string() << "\n";
    }
    void key(Qt::Key k) { QTest::keyClick(m_form->viewer(), k); }

    // Takes the ring to its first song (Home), then turns it with the arrow key until the song in
    // `folder` is in front, its title shown.
    bool choose(const std::string& folder, const std::string& title) {
        key(Qt::Key_Home);
        for (int turns = 0; turns < 8; ++turns) {
            if (fs::path(m_form->songList().selected()).filename() == folder)
                return waitUntil([&] { return m_game->selection.title->text() == title; });
            key(Qt::Key_Right);
        }
        return false;
    }

    std::optional<app::PhoneSeatView> seat(std::size_t slot) const {
        for (const app::PhoneSeatView& s : m_phones->seats())
            if (s.slot == slot)
                return s;
        return std::nullopt;
    }

    // Whether a singer's score column on stage shows `text`.
    bool stageShows(const std::string& text) const {
        for (const app::SingingBand& band : m_game->singing.bands)
            for (int i = 0; band.singerScores && i < band.singerScores->count(); ++i)
                if (const auto* label =
                        dynamic_cast<const scene::TGLHUDText*>(&band.singerScores->child(i)))
                    if (label->visible() && label->text() == text)
                        return true;
        return false;
    }

    // Beside the program folder, which goes with the test.
    const fs::path m_shots = fs::temp_directory_path() / "cantorix-evening-screenshots";
    app::QtMainThreadInvoker m_phoneEvents;
    std::ostringstream m_phoneLog;
    std::unique_ptr<platform::PhoneServer> m_phones;
    std::unique_ptr<platform::CaptureInputSet> m_inputs;
    std::unique_ptr<platform::SqliteRecordStore> m_records;
};

// A steady C4, long enough that Chromium's looping of it never falls in the test's seconds.
void writeToneWav(const fs::path& file) {
    constexpr int kRate = 48000;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(kRate) * 60);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(
            12000 * std::sin(2 * std::numbers::pi * 261.63 * static_cast<double>(i) / kRate)));
    cantorix::testing::writeMonoWav(file, samples, kRate);
}

TEST_F(EveningWindowTest, ADuetAPhoneThatComesBackAndTheStatistics) {
    const fs::path program(CANTORIX_PROGRAM_DIR);
    const fs::path duet = program / "songs" / kDuet / (std::string(kDuet) + ".txt");
    if (!fs::exists(duet) || !fs::exists(program / "songs" / kSolo))
        GTEST_SKIP() << "the demo songs have not been built";
    if (!fs::exists(cantorix::testing::kChromium))
        GTEST_SKIP() << "no Chromium at " << cantorix::testing::kChromium;
    m_root = cantorix::testing::makeProgramRoot("cantorix-evening", {kDuet, kSolo});
    const songs::StandardSong standard = songs::readStandardSong(cantorix::testing::readFile(duet));
    const fs::path receiver = m_root / "receiver.wav", tone = m_root / "tone.wav";
    cantorix::testing::writeStereoWav(receiver, cantorix::testing::recordedVoice(standard, 0),
                                      cantorix::testing::recordedVoice(standard, 1));
    writeToneWav(tone);

    m_phones = std::make_unique<platform::PhoneServer>(
        platform::PhoneServer::Options{.port = 0,
                                       .identityFolder = m_root / "identity",
                                       .invoker = &m_phoneEvents,
                                       .log = &m_phoneLog,
                                       .limits = {.connectionsPerPeer = 16},
                                       .key = kKey});
    ASSERT_TRUE(m_phones->listening()) << m_phones->problem();
    m_inputs = std::make_unique<platform::CaptureInputSet>(platform::CaptureInputSet::Options{
        .micWavs = {receiver},
        .listDevices = [] { return std::vector<platform::AlsaCaptureDevice>{}; },
        .systemDefaultInput = false,
        .externalInputs = [this] { return platform::phoneSeatInputs(*m_phones); }});
    m_inputs->relist();
    m_records = std::make_unique<platform::SqliteRecordStore>(m_root / "data" / "records.sqlite3");
    app::AppServices services = this->services();
    services.inputs = m_inputs.get();
    services.phones = m_phones.get();
    services.recordStore = m_records.get();
    services.makeSemitoneTracker = [] {
        return std::make_unique<platform::AubioSemitoneTracker>();
    };
    ASSERT_TRUE(showWindow(services));
    app::GameScene& g = *m_game;
    const app::SingerRoster& roster = m_form->singers().roster();

    // Phones may join: the selection screen shows the song book's code.
    EXPECT_TRUE(waitUntil([&] {
        return g.selection.songBookCode->visible() && g.selection.songBookCaption->visible();
    }));
    EXPECT_EQ(g.selection.songBookCaption->text(), "Scan to choose songs");

    // The duet, sung by the stereo file's two singers to its end.
    ASSERT_TRUE(choose(kDuet, "Two Lighthouses")) << g.selection.title->text();
    shoot("01-selection");
    click(*g.selection.startButton);
    ASSERT_TRUE(g.singing.group->visible());
    ASSERT_EQ(m_form->session().party().members().size(), 2u);
    ASSERT_TRUE(waitUntil([&] { return m_player.position() >= 15000; }, kSongMs));
    shoot("02-duet");
    ASSERT_TRUE(waitUntil([&] { return g.scorePage.group->visible(); }, kSongMs));
    shoot("03-duet-score");
    const std::vector<app::SingerOutcome>& duetOutcomes = m_form->session().outcomes();
    ASSERT_EQ(duetOutcomes.size(), 2u);
    for (const app::SingerOutcome& outcome : duetOutcomes)
        EXPECT_GE(outcome.scoring.notePoints(), outcome.scoring.possible() * 9 / 10)
            << outcome.name;
    click(*g.scorePage.submitButton);
    ASSERT_TRUE(waitUntil([&] { return g.selection.group->visible(); }));
    ASSERT_TRUE(waitUntil([&] {
        const std::vector<std::string> lines = m_form->songRecords().shownLines();
        return lines.size() > 1 && lines[1] != "Not sung yet";
    })) << ::testing::PrintToString(m_form->songRecords().shownLines());
    shoot("04-duet-records");

    // The second singer sits the next song out: on the singers screen their input steps to none
    // (through every listed input, a phone's among them: so before the guest's phone joins).
    click(*g.singers.selectionButton);
    ASSERT_TRUE(waitUntil([&] { return m_form->singers().shown(); }));
    for (int step = 0; step < 16 && roster.slot(1).input; ++step)
        click(*g.singers.rows[1].input);
    ASSERT_FALSE(roster.slot(1).input);
    shoot("05-singers");
    click(*g.singers.backButton);
    ASSERT_TRUE(waitUntil([&] { return !m_form->singers().shown(); }));

    // A guest scans the code of slot 3, free, and joins at once.
    const std::string address = m_phones->joinCode(kPhoneSlot, "127.0.0.1").url + "#join=Guest";
    auto phone = std::make_unique<HeadlessChromium>(m_root, tone, address);
    ASSERT_TRUE(phone->started());
    ASSERT_TRUE(waitUntil(
        [&] {
            return seat(kPhoneSlot) && seat(kPhoneSlot)->connected &&
                   roster.slot(kPhoneSlot - 1).input == app::phoneInputAddress(kPhoneSlot);
        },
        kBrowserMs))
        << m_phoneLog.str() << phone->logTail();
    EXPECT_EQ(roster.slot(kPhoneSlot - 1).name, "Guest");

    // The solo, sung by the first singer and the phone.
    ASSERT_TRUE(choose(kSolo, "Paper Kites")) << g.selection.title->text();
    click(*g.selection.startButton);
    ASSERT_TRUE(g.singing.group->visible());
    ASSERT_EQ(m_form->session().party().members().size(), 2u);
    ASSERT_TRUE(waitUntil([&] { return m_player.position() >= 3000; }, kSongMs));

    // The guest closes the page's tab mid-song: the seat waits for it, and the stage says so.
    // A blank tab keeps the browser open, as a phone's browser stays when one tab goes.
    ASSERT_TRUE(phone->openTab("about:blank")) << phone->logTail();
    ASSERT_TRUE(phone->closeTab("slot=3")) << phone->logTail();
    ASSERT_TRUE(waitUntil([&] { return seat(kPhoneSlot) && !seat(kPhoneSlot)->connected; }))
        << m_phoneLog.str();
    ASSERT_TRUE(waitUntil([&] { return stageShows(stage::kPhoneGone); }));
    shoot("06-phone-gone");
    EXPECT_TRUE(g.singing.group->visible());
    // The host pauses while the guest finds the page again: the song must not end meanwhile on
    // a slow machine, which would end the session and free the seat.
    click(*g.singing.pauseButton);
    ASSERT_TRUE(g.singing.playButton->visible());

    // Opened again in the same browser: the page takes its own slot back with the token it kept
    // (a join without it would be refused, the seat being held).
    ASSERT_TRUE(phone->openTab(address)) << phone->logTail();
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::optional<app::PhoneSeatView> back = seat(kPhoneSlot);
            return !back || back->connected;
        },
        kBrowserMs))
        << m_phoneLog.str() << phone->uncaughtPageErrors() << phone->logTail();
    ASSERT_TRUE(seat(kPhoneSlot)) << "the seat was given up";
    EXPECT_EQ(seat(kPhoneSlot)->name, "Guest");
    EXPECT_EQ(m_phones->seats().size(), 1u);
    click(*g.singing.playButton);
    ASSERT_TRUE(waitUntil([&] { return stageShows(stage::kPhoneBack); }));
    shoot("07-phone-back");
    const std::int64_t resumedAt = m_player.position();
    ASSERT_TRUE(waitUntil([&] { return m_player.position() >= resumedAt + 2000; }, kSongMs));

    // The song is ended by the player's key; the score page lists both and is submitted.
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return g.scorePage.group->visible(); }));
    shoot("08-solo-score");
    const std::vector<app::SingerOutcome>& soloOutcomes = m_form->session().outcomes();
    ASSERT_EQ(soloOutcomes.size(), 2u);
    EXPECT_EQ(soloOutcomes[0].slot, 0u);
    EXPECT_EQ(soloOutcomes[1].slot, kPhoneSlot - 1);
    EXPECT_EQ(soloOutcomes[1].name, "Guest");
    EXPECT_FALSE(soloOutcomes[1].lost);
    click(*g.scorePage.submitButton);
    ASSERT_TRUE(waitUntil([&] { return g.selection.group->visible(); }));

    // The statistics open from the selection and close with their Back.
    click(*g.statistics.selectionButton);
    ASSERT_TRUE(waitUntil([&] { return g.statistics.group->visible(); }));
    EXPECT_FALSE(m_form->statistics().shownLines().empty());
    shoot("09-statistics");
    click(*g.statistics.backButton);
    ASSERT_TRUE(waitUntil([&] { return !g.statistics.group->visible(); }));
    EXPECT_TRUE(g.selection.group->visible());
    shoot("10-selection-again");
    // Neither page threw: the one closed mid-song went away whole.
    EXPECT_EQ(phone->uncaughtPageErrors(), "");
}

} // namespace
