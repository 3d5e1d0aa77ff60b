// `cantorix-tool sing` on the standard demo song: a generated singer on the song's own notes
// (exactly, an octave lower, two semitones sharp) and silence, scored by the program itself.

#include "fakes/file_bytes.h"
#include "fakes/generated_voice.h"
#include "session/standard_timeline.h"
#include "songs/standard_song.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace cantorix;

const fs::path kSong = fs::path(CANTORIX_PROGRAM_DIR) /
                       "songs/Cantorix - Two Lighthouses/Cantorix - Two Lighthouses.txt";

// The first voice's notes sung shifted by semitones, timed from the song's audio start.
std::vector<std::int16_t> singFirstVoice(const songs::StandardSong& song, int semitones) {
    std::vector<cantorix::testing::VoiceNote> notes;
    for (const session::TimedNote& n : session::voiceTimeline(song, 0).notes)
        notes.push_back({static_cast<int>(std::lround(n.startMs - song.startMs)),
                         static_cast<int>(std::lround(n.endMs - n.startMs)),
                         60 + n.note.pitch + semitones});
    return cantorix::testing::generatedVoice(notes);
}

struct Score {
    int notePoints = 0, lineBonus = 0, total = 0, possible = 0, lines = 0;
    int linePossibleSum = 0, linePointSum = 0;
};

Score runTool(const fs::path& wav, const std::string& extra) {
    const std::string command = std::string("'") + CANTORIX_TOOL + "' sing '" + kSong.string() +
                                "' '" + wav.string() + "' --json " + extra;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    EXPECT_EQ(pipe ? ::pclose(pipe) : -1, 0) << command << "\n" << out;
    // The top-level keys are the first singer's; the list of every singer follows them.
    out = out.substr(0, out.find("\"singers\""));
    const auto number = [&](const char* key) {
        std::smatch m;
        const std::regex re(std::string("\"") + key + "\": (\\d+)");
        EXPECT_TRUE(std::regex_search(out, m, re)) << key << " in " << out;
        return m.empty() ? -1 : std::stoi(m[1]);
    };
    Score s{number("notePoints"), number("lineBonus"), number("total"), number("possible")};
    const std::regex line("\\{\"startMs\": \\d+, \"possible\": (\\d+), \"points\": (\\d+)\\}");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator();
         ++it) {
        ++s.lines;
        s.linePossibleSum += std::stoi((*it)[1]);
        s.linePointSum += std::stoi((*it)[2]);
    }
    return s;
}

TEST(SingCommandTest, TheStandardDemoSongScoresTheSingerItsNotesAsked) {
    if (!fs::exists(kSong))
        GTEST_SKIP() << "the demo songs have not been built";
    const songs::StandardSong song = songs::readStandardSong(cantorix::testing::readFile(kSong));
    const fs::path dir =
        fs::temp_directory_path() / ("cantorix-sing-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    struct Case {
        const char* name;
        int semitones;
        const char* options;
        double minShare, maxShare;
    };
    const Case cases[] = {
        {"in tune", 0, "", 0.95, 1.0},
        {"an octave lower", -12, "", 0.95, 1.0},
        {"two semitones sharp, easy", 2, "--difficulty easy", 0.90, 1.0},
        {"two semitones sharp, hard", 2, "--difficulty hard", 0.0, 0.10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path wav = dir / ("voice" + std::to_string(c.semitones) + ".wav");
        if (!fs::exists(wav))
            cantorix::testing::writeMonoWav(wav, singFirstVoice(song, c.semitones));
        const Score s = runTool(wav, c.options);
        ASSERT_GT(s.possible, 0);
        const double share = static_cast<double>(s.notePoints) / s.possible;
        std::cout << c.name << ": " << s.notePoints << " of " << s.possible << " (" << 100 * share
                  << " %), bonus " << s.lineBonus << "\n";
        EXPECT_GE(share, c.minShare);
        EXPECT_LE(share, c.maxShare);
        EXPECT_EQ(s.total, s.notePoints + s.lineBonus);
        // The lines share out the points exactly.
        EXPECT_GT(s.lines, 1);
        EXPECT_EQ(s.linePossibleSum, s.possible);
        EXPECT_EQ(s.linePointSum, s.notePoints);
    }

    const fs::path silence = dir / "silence.wav";
    cantorix::testing::writeMonoWav(silence, std::vector<std::int16_t>(44100 * 5));
    const Score quiet = runTool(silence, "");
    EXPECT_EQ(quiet.total, 0);
    EXPECT_GT(quiet.possible, 0);
    fs::remove_all(dir);
}

TEST(SingCommandTest, BadArgumentsAreRefusedWithAReason) {
    for (const char* args : {"", "'/nonexistent.txt'", "a.txt b.wav --difficulty extreme",
                             "a.txt b.wav --delay 501", "a.txt b.wav --voice 0"}) {
        const std::string command =
            std::string("'") + CANTORIX_TOOL + "' sing " + args + " 2>/dev/null";
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2) << args;
    }
    const std::string missing = std::string("'") + CANTORIX_TOOL + "' sing '" + kSong.string() +
                                "' /nonexistent.wav --json";
    FILE* pipe = ::popen((missing + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 1);
    EXPECT_NE(out.find("\"error\""), std::string::npos) << out;
}

} // namespace
