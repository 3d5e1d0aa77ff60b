// The standard demo song sung into the real main window through WAV files standing in for the
// microphones, as `--mic` does, and the same WAVs scored by `cantorix-tool sing`: the window
// scores each singer as the tool reports, line by line. Alone, as a duet sung by two from a
// stereo file, as from a receiver with two microphones, and by two phones streaming the two
// channels over the phones' server, their clocks offset and drifting; and by a guest's phone, a
// headless Chromium whose microphone is a WAV of the voice.

#include "app/qt_main_thread_invoker.h"
#include "fakes/file_bytes.h"
#include "fakes/generated_voice.h"
#include "fakes/phone_test_client.h"
#include "game_window_fixture.h"
#include "headless_chromium.h"
#include "platform/phones/phone_server.h"
#include "platform/sound_input/capture_input_set.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/storage/sqlite_record_store.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "session/standard_timeline.h"
#include "songs/standard_song.h"
#include "sung_voice.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <regex>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace cantorix;
using cantorix::testing::recordedVoice;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

const char* const kFolder = "Cantorix - Two Lighthouses";

struct ToolScore {
    int notePoints = -1, possible = -1;
    std::vector<std::pair<int, int>> lines; // possible, points
};

std::string runTool(const fs::path& song, const std::vector<fs::path>& wavs) {
    std::string command = std::string("'") + CANTORIX_TOOL + "' sing '" + song.string() + "'";
    for (const fs::path& wav : wavs)
        command += " '" + wav.string() + "'";
    command += " --json";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    EXPECT_EQ(pipe ? ::pclose(pipe) : -1, 0) << command << "\n" << out;
    return out;
}

ToolScore parseToolScore(const std::string& out) {
    ToolScore score;
    std::smatch m;
    if (std::regex_search(out, m, std::regex("\"notePoints\": (\\d+)")))
        score.notePoints = std::stoi(m[1]);
    if (std::regex_search(out, m, std::regex("\"possible\": (\\d+), \"lines\"")))
        score.possible = std::stoi(m[1]);
    const std::regex line("\\{\"startMs\": \\d+, \"possible\": (\\d+), \"points\": (\\d+)\\}");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator();
         ++it)
        score.lines.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
    return score;
}

// The first singer, at the top level of the tool's output (before its "singers" list).
ToolScore scoreWithTool(const fs::path& song, const fs::path& wav) {
    const std::string out = runTool(song, {wav});
    return parseToolScore(out.substr(0, out.find("\"singers\"")));
}

// Each singer of the tool's "singers" list, in order.
std::vector<ToolScore> scoreSingersWithTool(const fs::path& song,
                                            const std::vector<fs::path>& wavs) {
    const std::string out = runTool(song, wavs);
    std::vector<ToolScore> singers;
    const std::size_t list = out.find("\"singers\": [");
    if (list == std::string::npos)
        return singers;
    for (std::size_t at = out.find("{\"input\"", list); at != std::string::npos;) {
        const std::size_t next = out.find("{\"input\"", at + 1);
        singers.push_back(
            parseToolScore(out.substr(at, next == std::string::npos ? next : next - at)));
        at = next;
    }
    return singers;
}

// What a tick is worth on each line of a voice: 2 where the line has a golden note.
std::vector<int> tickValues(const session::VoiceTimeline& timeline) {
    std::vector<int> values;
    for (const session::TimedLine& line : timeline.lines) {
        int value = 1;
        for (std::size_t k = line.first; k < line.last; ++k) {
            const songs::NoteKind kind = timeline.notes[k].note.kind;
            if (kind == songs::NoteKind::Golden || kind == songs::NoteKind::GoldenRap)
                value = 2;
        }
        values.push_back(value);
    }
    return values;
}

// Two processes that keep both cores busy while the test runs, as other programs on a player's
// machine may; each stops by itself after five minutes should the test never end them.
class BusyLoops {
public:
    BusyLoops() {
        for (pid_t& pid : m_pids) {
            pid = ::fork();
            if (pid == 0) {
                ::execl("/usr/bin/timeout", "timeout", "300", "/bin/sh", "-c",
                        "while :; do :; done", static_cast<char*>(nullptr));
                ::_exit(127);
            }
        }
    }
    ~BusyLoops() {
        for (const pid_t pid : m_pids)
            if (pid > 0) {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
    }
    BusyLoops(const BusyLoops&) = delete;
    BusyLoops& operator=(const BusyLoops&) = delete;

private:
    pid_t m_pids[2] = {-1, -1};
};

// A voice of 44100 Hz as a phone capturing at 48000 Hz hears it (linear interpolation).
std::vector<std::int16_t> at48k(const std::vector<std::int16_t>& voice) {
    std::vector<std::int16_t> out(voice.size() * 48000 / 44100);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double at = static_cast<double>(i) * 44100.0 / 48000.0;
        const auto k = static_cast<std::size_t>(at);
        const double next = k + 1 < voice.size() ? voice[k + 1] : voice[k];
        out[i] = static_cast<std::int16_t>(std::lround(voice[k] + (next - voice[k]) * (at - k)));
    }
    return out;
}

// What a browser's microphone hears, at 48000 Hz: a short tone 2 s in, by which the test knows
// where the capture has got to, and the voice from kVoiceLead on, its first sample due as the
// song starts.
constexpr double kBurstAt = 2.0;
constexpr double kVoiceLead = 4.0;
std::vector<std::int16_t> browserMicrophone(const std::vector<std::int16_t>& voice) {
    constexpr int kRate = 48000;
    std::vector<std::int16_t> heard(static_cast<std::size_t>(kVoiceLead * kRate));
    for (std::size_t i = 0; i < kRate / 5; ++i)
        heard[static_cast<std::size_t>(kBurstAt * kRate) + i] =
            static_cast<std::int16_t>(std::lround(
                8000 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(i) / kRate)));
    const std::vector<std::int16_t> sung = at48k(voice);
    heard.insert(heard.end(), sung.begin(), sung.end());
    return heard;
}

// The first sample at or after `from` loud enough to be sound rather than silence.
std::optional<std::size_t> firstSound(const std::vector<std::int16_t>& samples,
                                      std::size_t from = 0) {
    for (std::size_t i = from; i < samples.size(); ++i)
        if (std::abs(samples[i]) >= 2000)
            return i;
    return std::nullopt;
}

class SungStandardWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    // The window with the phones' server listening on loopback, its seats the only inputs: no
    // device of this machine joins in.
    void showWindowWithPhonesOnly(const std::string& key) {
        m_phones = std::make_unique<platform::PhoneServer>(
            platform::PhoneServer::Options{.port = 0,
                                           .identityFolder = m_root / "identity",
                                           .invoker = &m_phoneEvents,
                                           .log = &m_serverLog,
                                           .key = key});
        ASSERT_TRUE(m_phones->listening()) << m_phones->problem();
        m_inputs = std::make_unique<platform::CaptureInputSet>(platform::CaptureInputSet::Options{
            .listDevices = [] { return std::vector<platform::AlsaCaptureDevice>{}; },
            .systemDefaultInput = false,
            .externalInputs = [this] { return platform::phoneSeatInputs(*m_phones); }});
        m_inputs->relist();
        app::AppServices services = this->services();
        services.inputs = m_inputs.get();
        services.phones = m_phones.get();
        services.makeSemitoneTracker = [] {
            return std::make_unique<platform::AubioSemitoneTracker>();
        };
        ASSERT_TRUE(showWindow(services));
    }

    platform::AubioSemitoneTracker m_semitones;
    // The phones' server and the main-thread hand-over of its seat changes; they outlive the
    // inputs that list its seats.
    app::QtMainThreadInvoker m_phoneEvents;
    std::ostringstream m_serverLog;
    std::unique_ptr<platform::PhoneServer> m_phones;
    // The microphones of the several singers; they outlive the window (gone in TearDown).
    std::unique_ptr<platform::CaptureInputSet> m_inputs;
    // Where the duet's performances are kept; outlives the window likewise.
    std::unique_ptr<platform::SqliteRecordStore> m_records;
};

TEST_F(SungStandardWindowTest, TheWindowScoresEachLineAsTheToolDoes) {
    const fs::path song =
        fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kFolder / (std::string(kFolder) + ".txt");
    if (!fs::exists(song))
        GTEST_SKIP() << "the demo songs have not been built";
    m_root = cantorix::testing::makeProgramRoot("cantorix-sung-standard", {kFolder});

    // The first voice's melody sung exactly, its first sample heard as the song's audio starts.
    const songs::StandardSong standard = songs::readStandardSong(cantorix::testing::readFile(song));
    const fs::path wav = m_root / "voice.wav";
    cantorix::testing::writeMonoWav(wav, recordedVoice(standard, 0));

    const BusyLoops busy;
    auto input = std::make_unique<platform::WavFileInput>(m_capture.hub(), wav);
    app::AppServices services = this->services();
    services.sessionInput = input.get();
    services.semitones = &m_semitones;
    m_input = std::move(input);
    ASSERT_TRUE(showWindow(services));
    app::GameScene& g = m_form->game();
    ASSERT_TRUE(waitUntil([&] { return g.selection.title->text() == "Two Lighthouses"; }))
        << g.selection.title->text();
    const scene::RectI r = g.selection.startButton->globalRect();
    QTest::mouseClick(m_form->viewer(), Qt::LeftButton, {},
                      QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    ASSERT_TRUE(g.singing.group->visible());
    ASSERT_TRUE(waitUntil([&] { return g.scorePage.group->visible(); }, 90000));
    QTest::qWait(200);

    const session::Scoring& window = m_form->session().scoring();
    const ToolScore tool = scoreWithTool(song, wav);
    std::cout << "window " << window.notePoints() << " of " << window.possible() << ", tool "
              << tool.notePoints << " of " << tool.possible << "\n";
    ASSERT_EQ(window.lines().size(), tool.lines.size());
    ASSERT_GT(tool.lines.size(), 1u);
    // Both read the newest samples at each tick and place the reading at the tick: they may part
    // only where the window's timer or its input's 10 ms pacing moves a tick across a note's
    // edge, which costs at most one tick's value in a line.
    const std::vector<int> tickValue = tickValues(session::voiceTimeline(standard, 0));
    for (std::size_t i = 0; i < tool.lines.size(); ++i) {
        const session::LineTally& l = window.lines()[i];
        std::cout << "line " << i + 1 << ": window " << l.points << " of " << l.possible
                  << ", tool " << tool.lines[i].second << " of " << tool.lines[i].first << "\n";
        // The window's analysis counts its windows in captured samples, as the tool does: the
        // same ticks are judged, each at its own song time over its own samples, however late
        // the busy machine runs the window's timer.
        EXPECT_EQ(l.possible, tool.lines[i].first) << "line " << i + 1;
        EXPECT_NEAR(l.points, tool.lines[i].second, tickValue[i]) << "line " << i + 1;
        EXPECT_GE(l.points, l.possible * 95 / 100) << "line " << i + 1;
    }
    // The score page shows the points and their share of the possible ones.
    EXPECT_EQ(g.scorePage.notesValue->caption(), std::to_string(window.notePoints()));
    EXPECT_EQ(g.scorePage.shareValue->caption(),
              session::possibleShareText(window.notePoints(), window.possible()).value_or("none"));
}

TEST_F(SungStandardWindowTest, TwoSingersOfAStereoFileEachScoreTheVoiceTheySing) {
    const fs::path song =
        fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kFolder / (std::string(kFolder) + ".txt");
    if (!fs::exists(song))
        GTEST_SKIP() << "the demo songs have not been built";
    m_root = cantorix::testing::makeProgramRoot("cantorix-sung-duet", {kFolder});

    // Two receivers: the first hears the harbour keeper on the left and the island keeper on the
    // right, the second the other way round. By the default rule singers 1 and 3 sing the first
    // voice and 2 and 4 the second: 1 and 2 sing in tune, 3 and 4 each hear the other voice.
    const songs::StandardSong standard = songs::readStandardSong(cantorix::testing::readFile(song));
    ASSERT_EQ(standard.voices.size(), 2u);
    const std::vector<std::int16_t> first = recordedVoice(standard, 0),
                                    second = recordedVoice(standard, 1);
    const std::vector<fs::path> wavs = {m_root / "receiver.wav", m_root / "swapped.wav"};
    cantorix::testing::writeStereoWav(wavs[0], first, second);
    cantorix::testing::writeStereoWav(wavs[1], second, first);

    const BusyLoops busy;
    m_inputs = std::make_unique<platform::CaptureInputSet>(
        platform::CaptureInputSet::Options{.micWavs = wavs});
    m_inputs->relist();
    const fs::path recordsFile = m_root / "data" / "records.sqlite3";
    m_records = std::make_unique<platform::SqliteRecordStore>(recordsFile);
    app::AppServices services = this->services();
    services.inputs = m_inputs.get();
    services.recordStore = m_records.get();
    services.makeSemitoneTracker = [] {
        return std::make_unique<platform::AubioSemitoneTracker>();
    };
    ASSERT_TRUE(showWindow(services));
    app::GameScene& g = m_form->game();
    ASSERT_TRUE(waitUntil([&] { return g.selection.title->text() == "Two Lighthouses"; }));
    click(*g.selection.startButton);
    ASSERT_TRUE(g.singing.group->visible());
    ASSERT_TRUE(waitUntil([&] { return g.scorePage.group->visible(); }, 90000));
    std::cout << "missed windows " << m_form->session().timings().missedWindows << "\n";

    const std::vector<app::SingerOutcome>& window = m_form->session().outcomes();
    const std::vector<ToolScore> tool = scoreSingersWithTool(song, wavs);
    ASSERT_EQ(window.size(), 4u);
    ASSERT_EQ(tool.size(), 4u);
    for (std::size_t k = 0; k < window.size(); ++k) {
        const session::Scoring& scoring = window[k].scoring;
        const std::vector<int> tickValue = tickValues(session::voiceTimeline(standard, k % 2));
        std::cout << "singer " << k + 1 << " (voice " << window[k].voice + 1 << "): window "
                  << scoring.notePoints() << " of " << scoring.possible() << ", tool "
                  << tool[k].notePoints << " of " << tool[k].possible << "\n";
        EXPECT_EQ(window[k].voice, k % 2);
        ASSERT_EQ(scoring.lines().size(), tool[k].lines.size()) << "singer " << k + 1;
        for (std::size_t i = 0; i < tool[k].lines.size(); ++i) {
            EXPECT_EQ(scoring.lines()[i].possible, tool[k].lines[i].first);
            EXPECT_NEAR(scoring.lines()[i].points, tool[k].lines[i].second, tickValue[i])
                << "singer " << k + 1 << ", line " << i + 1;
        }
        if (k < 2)
            EXPECT_GE(scoring.notePoints(), scoring.possible() * 90 / 100) << "singer " << k + 1;
        else
            EXPECT_LT(scoring.notePoints(), scoring.possible() * 20 / 100) << "singer " << k + 1;
    }

    // Each singer's performance is kept in the records file, the voice sung part of its key;
    // the two in tune each set the first record of their voice, and the page says so.
    m_form->records().flush();
    const records::RecordSnapshot stored = platform::SqliteRecordStore(recordsFile).load();
    ASSERT_EQ(stored.performances.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        const records::Performance& row = stored.performances[k];
        EXPECT_EQ(row.key.voice, static_cast<int>(k % 2) + 1) << "singer " << k + 1;
        EXPECT_EQ(row.total, window[k].scoring.total()) << "singer " << k + 1;
        EXPECT_EQ(row.title, "Two Lighthouses");
        EXPECT_TRUE(row.finished);
        EXPECT_EQ(row.sungAtMs, stored.performances[0].sungAtMs);
    }
    std::vector<std::string> news;
    for (const scene::TGLLabel* label : g.scorePage.tableNews)
        if (label->guiVisible() && !label->caption().empty())
            news.push_back(label->caption());
    EXPECT_EQ(news, (std::vector<std::string>{"New song record", "New song record"}));
    // Back on the selection screen the song's best results are listed.
    click(*g.scorePage.backButton);
    ASSERT_TRUE(waitUntil([&] {
        const std::vector<std::string> lines = m_form->songRecords().shownLines();
        return lines.size() > 1 && lines[1] != "Not sung yet";
    })) << ::testing::PrintToString(m_form->songRecords().shownLines());
}

TEST_F(SungStandardWindowTest, TwoPhonesStreamingAStereoFileScoreEachLineAsTheToolDoes) {
    const fs::path song =
        fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kFolder / (std::string(kFolder) + ".txt");
    if (!fs::exists(song))
        GTEST_SKIP() << "the demo songs have not been built";
    m_root = cantorix::testing::makeProgramRoot("cantorix-sung-phones", {kFolder});
    const songs::StandardSong standard = songs::readStandardSong(cantorix::testing::readFile(song));
    ASSERT_EQ(standard.voices.size(), 2u);
    const std::vector<std::int16_t> first = recordedVoice(standard, 0),
                                    second = recordedVoice(standard, 1);
    const fs::path wav = m_root / "receiver.wav";
    cantorix::testing::writeStereoWav(wav, first, second);

    const std::string key = "00112233445566778899aabbccddeeff";
    ASSERT_NO_FATAL_FAILURE(showWindowWithPhonesOnly(key));
    app::GameScene& g = m_form->game();
    ASSERT_TRUE(waitUntil([&] { return g.selection.title->text() == "Two Lighthouses"; }));

    // Two guests join slots 1 and 2; their phones' clocks are far from the game's and drift
    // apart from it, 100 ppm fast and slow.
    const std::string url =
        "wss://127.0.0.1:" + std::to_string(m_phones->port()) + "/socket?k=" + key;
    const BusyLoops busy;
    cantorix::testing::PhoneTestClient left(
        {.url = url, .name = "Left", .slot = 1, .offsetSeconds = 12345.678, .driftPpm = 100});
    cantorix::testing::PhoneTestClient right(
        {.url = url, .name = "Right", .slot = 2, .offsetSeconds = -321.5, .driftPpm = -100});
    ASSERT_TRUE(left.waitWelcome()) << left.refusal().value_or("no answer");
    ASSERT_TRUE(right.waitWelcome()) << right.refusal().value_or("no answer");
    const app::SingerRoster& roster = m_form->singers().roster();
    ASSERT_TRUE(waitUntil([&] {
        return roster.slot(0).input == app::phoneInputAddress(1) &&
               roster.slot(1).input == app::phoneInputAddress(2) && roster.slot(0).name == "Left";
    }));
    // The clocks' first round trips.
    waitUntil([] { return false; }, 1000);

    click(*g.selection.startButton);
    ASSERT_TRUE(g.singing.group->visible());
    // The song's first sample is heard as the session starts it over: the phones sing from there.
    const auto start = m_phones->seatSound(1).startedOverAt();
    ASSERT_TRUE(start.has_value());
    left.play(at48k(first), *start);
    right.play(at48k(second), *start);
    ASSERT_TRUE(waitUntil([&] { return g.scorePage.group->visible(); }, 90000));

    const std::vector<app::SingerOutcome>& window = m_form->session().outcomes();
    const std::vector<ToolScore> tool = scoreSingersWithTool(song, {wav});
    ASSERT_EQ(window.size(), 2u);
    ASSERT_EQ(tool.size(), 2u);
    for (std::size_t k = 0; k < window.size(); ++k) {
        const session::Scoring& scoring = window[k].scoring;
        const std::vector<int> tickValue = tickValues(session::voiceTimeline(standard, k));
        std::cout << "phone " << k + 1 << ": window " << scoring.notePoints() << " of "
                  << scoring.possible() << ", tool " << tool[k].notePoints << " of "
                  << tool[k].possible << "\n";
        ASSERT_EQ(scoring.lines().size(), tool[k].lines.size()) << "phone " << k + 1;
        for (std::size_t i = 0; i < tool[k].lines.size(); ++i) {
            EXPECT_EQ(scoring.lines()[i].possible, tool[k].lines[i].first);
            EXPECT_NEAR(scoring.lines()[i].points, tool[k].lines[i].second, tickValue[i])
                << "phone " << k + 1 << ", line " << i + 1;
        }
    }
    // Each phone was shown the lines it sang and its points.
    const std::vector<std::string> shown = left.texts();
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const std::string& text) {
        return text.find("\"lyric\"") != std::string::npos &&
               text.find("\"text\":\"\"") == std::string::npos;
    }));
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const std::string& text) {
        return text.find("\"points\"") != std::string::npos;
    }));
}

TEST_F(SungStandardWindowTest, APhoneInABrowserSingsASongAsTheToolScoresIt) {
    const fs::path song =
        fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kFolder / (std::string(kFolder) + ".txt");
    if (!fs::exists(song))
        GTEST_SKIP() << "the demo songs have not been built";
    if (!fs::exists(cantorix::testing::kChromium))
        GTEST_SKIP() << "no Chromium at " << cantorix::testing::kChromium;
    m_root = cantorix::testing::makeProgramRoot("cantorix-sung-browser", {kFolder});
    const songs::StandardSong standard = songs::readStandardSong(cantorix::testing::readFile(song));
    const std::vector<std::int16_t> voice = recordedVoice(standard, 0);
    const fs::path microphone = m_root / "microphone.wav";
    cantorix::testing::writeMonoWav(microphone, browserMicrophone(voice), 48000);

    ASSERT_NO_FATAL_FAILURE(showWindowWithPhonesOnly("00112233445566778899aabbccddeeff"));
    app::GameScene& g = m_form->game();
    ASSERT_TRUE(waitUntil([&] { return g.selection.title->text() == "Two Lighthouses"; }));

    // Everything slot 1's seat hands on, as the session's judge reads it; `received` counts the
    // samples read, so a mark taken with that count places each of them in song time.
    const std::unique_ptr<platform::CaptureHub::Subscription> tap =
        platform::phoneSeatInputs(*m_phones).front().capture->subscribe(std::size_t{1} << 20);
    std::vector<std::int16_t> received;
    const auto drain = [&] {
        std::int16_t buffer[4096];
        for (std::size_t got; (got = tap->read(buffer, std::size(buffer))) > 0;)
            received.insert(received.end(), buffer, buffer + got);
    };

    const std::string address = m_phones->joinCode(1, "127.0.0.1").url + "#join=Guest";
    cantorix::testing::HeadlessChromium phone(m_root, microphone, address);
    ASSERT_TRUE(phone.started());
    const app::SingerRoster& roster = m_form->singers().roster();
    ASSERT_TRUE(waitUntil([&] { return roster.slot(0).input == app::phoneInputAddress(1); }, 60000))
        << m_serverLog.str() << phone.logTail();

    // The song is started as the microphone reaches the voice: kVoiceLead - kBurstAt after the
    // tone, whose newest sample was captured about a frame (20 ms) before it reached the seat.
    std::optional<std::size_t> burst;
    ASSERT_TRUE(waitUntil(
        [&] {
            drain();
            burst = firstSound(received);
            return burst.has_value();
        },
        60000))
        << m_serverLog.str() << phone.logTail();
    const auto voiceDue =
        std::chrono::steady_clock::now() - std::chrono::milliseconds{20} +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(kVoiceLead - kBurstAt -
                                          static_cast<double>(received.size() - *burst) / 44100.0));
    waitUntil(
        [&] {
            drain();
            return std::chrono::steady_clock::now() >= voiceDue;
        },
        10000);
    click(*g.selection.startButton);
    ASSERT_TRUE(g.singing.group->visible());
    drain();
    const std::optional<session::RecordingMark> mark = m_phones->seatSound(1).mark(
        [&] { return static_cast<std::int64_t>(received.size() + tap->available()); });
    ASSERT_TRUE(mark.has_value());
    ASSERT_TRUE(waitUntil(
        [&] {
            drain();
            return g.scorePage.group->visible();
        },
        90000));
    drain();

    // The tool scores what the seat heard from the song's start on. A browser starved of the CPU
    // its fake microphone needs loses a few milliseconds of the file now and then (a short
    // silence, the rest of the voice that much later), as a singer who falls behind would: the
    // game places what the phone sent, so the tool is given the same. Where the first note
    // landed against the song says how well the phone was lined up.
    const auto songStart = static_cast<std::size_t>(mark->capturedSamples - mark->recordingFrames);
    ASSERT_LT(songStart, received.size());
    const std::vector<std::int16_t> heard(received.begin() + static_cast<std::ptrdiff_t>(songStart),
                                          received.end());
    const std::optional<std::size_t> heardOnset = firstSound(heard), sungOnset = firstSound(voice);
    ASSERT_TRUE(heardOnset && sungOnset) << "the seat heard no voice";
    std::cout << "the first note came "
              << (static_cast<double>(*heardOnset) - static_cast<double>(*sungOnset)) / 44.1
              << " ms after its time; " << m_phones->seatSound(1).lateSamples()
              << " samples came too late\n";
    const fs::path toolWav = m_root / "as-heard.wav";
    cantorix::testing::writeMonoWav(toolWav, heard);

    const std::vector<app::SingerOutcome>& window = m_form->session().outcomes();
    ASSERT_EQ(window.size(), 1u);
    const session::Scoring& scoring = window[0].scoring;
    const ToolScore tool = scoreWithTool(song, toolWav);
    std::cout << "phone: window " << scoring.notePoints() << " of " << scoring.possible()
              << ", tool " << tool.notePoints << " of " << tool.possible << "\n";
    EXPECT_GE(scoring.notePoints(), scoring.possible() * 80 / 100);
    const std::vector<int> tickValue = tickValues(session::voiceTimeline(standard, 0));
    ASSERT_EQ(scoring.lines().size(), tool.lines.size());
    for (std::size_t i = 0; i < tool.lines.size(); ++i) {
        EXPECT_EQ(scoring.lines()[i].possible, tool.lines[i].first) << "line " << i + 1;
        EXPECT_NEAR(scoring.lines()[i].points, tool.lines[i].second, 2 * tickValue[i])
            << "line " << i + 1;
    }
    EXPECT_EQ(phone.uncaughtPageErrors(), "");
}

} // namespace
