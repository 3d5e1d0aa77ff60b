// The standard demo song sung into the real main window through a WAV file standing in for the
// microphone, as `--mic` does, and the same WAV scored by `cantorix-tool sing`: the window's
// score page shows what the tool reports, line by line.

#include "fakes/file_bytes.h"
#include "fakes/generated_voice.h"
#include "game_window_fixture.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "session/standard_timeline.h"
#include "songs/standard_song.h"

#include <QImage>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

const char* const kFolder = "Cantorix - Two Lighthouses";

struct ToolScore {
    int notePoints = -1, possible = -1;
    std::vector<std::pair<int, int>> lines; // possible, points
};

ToolScore scoreWithTool(const fs::path& song, const fs::path& wav) {
    const std::string command = std::string("'") + CANTORIX_TOOL + "' sing '" + song.string() +
                                "' '" + wav.string() + "' --json";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    EXPECT_EQ(pipe ? ::pclose(pipe) : -1, 0) << command << "\n" << out;
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

class SungStandardWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    platform::AubioSemitoneTracker m_semitones;
};

TEST_F(SungStandardWindowTest, TheWindowScoresEachLineAsTheToolDoes) {
    const fs::path song =
        fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kFolder / (std::string(kFolder) + ".txt");
    if (!fs::exists(song))
        GTEST_SKIP() << "the demo songs have not been built";
    m_root = cantorix::testing::makeProgramRoot("cantorix-sung-standard", {kFolder});

    // The first voice's melody sung exactly, its first sample heard as the song's audio starts.
    const songs::StandardSong standard = songs::readStandardSong(cantorix::testing::readFile(song));
    std::vector<cantorix::testing::VoiceNote> notes;
    for (const session::TimedNote& n : session::voiceTimeline(standard, 0).notes)
        notes.push_back({static_cast<int>(std::lround(n.startMs - standard.startMs)),
                         static_cast<int>(std::lround(n.endMs - n.startMs)), 60 + n.note.pitch});
    const fs::path wav = m_root / "voice.wav";
    cantorix::testing::writeMonoWav(wav, cantorix::testing::generatedVoice(notes));

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
    const session::VoiceTimeline timeline = session::voiceTimeline(standard, 0);
    for (std::size_t i = 0; i < tool.lines.size(); ++i) {
        int tickValue = 1;
        for (std::size_t k = timeline.lines[i].first; k < timeline.lines[i].last; ++k) {
            const songs::NoteKind kind = timeline.notes[k].note.kind;
            if (kind == songs::NoteKind::Golden || kind == songs::NoteKind::GoldenRap)
                tickValue = 2;
        }
        const session::LineTally& l = window.lines()[i];
        std::cout << "line " << i + 1 << ": window " << l.points << " of " << l.possible
                  << ", tool " << tool.lines[i].second << " of " << tool.lines[i].first << "\n";
        // The window's analysis counts its windows in captured samples, as the tool does: the
        // same ticks are judged, each at its own song time over its own samples, however late
        // the busy machine runs the window's timer.
        EXPECT_EQ(l.possible, tool.lines[i].first) << "line " << i + 1;
        EXPECT_NEAR(l.points, tool.lines[i].second, tickValue) << "line " << i + 1;
        EXPECT_GE(l.points, l.possible * 95 / 100) << "line " << i + 1;
    }
    // The score page shows the points and their share of the possible ones.
    EXPECT_EQ(g.scorePage.notesValue->caption(), std::to_string(window.notePoints()));
    EXPECT_EQ(g.scorePage.shareValue->caption(),
              session::possibleShareText(window.notePoints(), window.possible()).value_or("none"));
}

} // namespace
