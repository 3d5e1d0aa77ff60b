// `cantorix-tool sing` on the standard demo song: a generated singer on the song's own notes
// (exactly, an octave lower, two semitones sharp) and silence, scored by the program itself; the
// duet sung by two singers from one stereo file, and a singer scored alike alone or among eight.

#include "fakes/file_bytes.h"
#include "fakes/generated_voice.h"
#include "platform/wav_test_files.h"
#include "session/standard_timeline.h"
#include "songs/standard_song.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace cantorix;

const fs::path kSong = fs::path(CANTORIX_PROGRAM_DIR) /
                       "songs/Cantorix - Two Lighthouses/Cantorix - Two Lighthouses.txt";

// A voice's notes sung shifted by semitones, timed from the song's audio start.
std::vector<std::int16_t> singVoice(const songs::StandardSong& song, int semitones, int voice = 0) {
    std::vector<cantorix::testing::VoiceNote> notes;
    for (const session::TimedNote& n : session::voiceTimeline(song, voice).notes)
        notes.push_back({static_cast<int>(std::lround(n.startMs - song.startMs)),
                         static_cast<int>(std::lround(n.endMs - n.startMs)),
                         60 + n.note.pitch + semitones});
    return cantorix::testing::generatedVoice(notes);
}

struct Score {
    int notePoints = 0, lineBonus = 0, total = 0, possible = 0, lines = 0;
    int linePossibleSum = 0, linePointSum = 0;
};

// The tool's JSON output for the demo duet; arguments are quoted by the caller.
std::string runToolJson(const std::string& arguments, int exitStatus = 0) {
    const std::string command = std::string("'") + CANTORIX_TOOL + "' sing '" + kSong.string() +
                                "' " + arguments + " --json 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    EXPECT_EQ(pipe ? WEXITSTATUS(::pclose(pipe)) : -1, exitStatus) << command << "\n" << out;
    return out;
}

Score runTool(const fs::path& wav, const std::string& extra) {
    std::string out = runToolJson("'" + wav.string() + "' " + extra);
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
            cantorix::testing::writeMonoWav(wav, singVoice(song, c.semitones));
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

// The text of each entry of the output's "singers" list, in order.
std::vector<std::string> singerEntries(const std::string& out) {
    std::vector<std::string> entries;
    const std::regex entry("\\{\"input\": \"[^\"]*\", [^\\]]*\\]\\}");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), entry);
         it != std::sregex_iterator(); ++it)
        entries.push_back(it->str());
    return entries;
}

// The share of the possible points an entry of the singers list reached.
double shareOf(const std::string& entry) {
    std::smatch points, possible;
    EXPECT_TRUE(std::regex_search(entry, points, std::regex("\"notePoints\": (\\d+)"))) << entry;
    EXPECT_TRUE(std::regex_search(entry, possible, std::regex("\"possible\": (\\d+), \"lines\"")))
        << entry;
    if (points.empty() || possible.empty() || std::stoi(possible[1]) == 0)
        return -1;
    return std::stod(points[1]) / std::stoi(possible[1]);
}

// Stereo 16-bit at 44100 Hz: left and right, the shorter ending in silence.
void writeStereo(const fs::path& file, const std::vector<std::int16_t>& left,
                 const std::vector<std::int16_t>& right) {
    platform::testing::Bytes samples;
    for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i)
        for (const auto* channel : {&left, &right})
            platform::testing::putLe(
                samples, static_cast<std::uint16_t>(i < channel->size() ? (*channel)[i] : 0), 2);
    const platform::testing::Bytes wavBytes = platform::testing::wav(1, 2, 44100, 16, samples);
    cantorix::testing::writeFile(file, std::string(wavBytes.begin(), wavBytes.end()));
}

class SingersTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSong))
            GTEST_SKIP() << "the demo songs have not been built";
        const songs::StandardSong song =
            songs::readStandardSong(cantorix::testing::readFile(kSong));
        ASSERT_EQ(song.voices.size(), 2u) << "the standard demo song is a duet";
        m_dir = fs::temp_directory_path() / ("cantorix-singers-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        cantorix::testing::writeMonoWav(m_dir / "first.wav", singVoice(song, 0, 0));
        cantorix::testing::writeMonoWav(m_dir / "second.wav", singVoice(song, 0, 1));
        writeStereo(m_dir / "duet.wav", singVoice(song, 0, 0), singVoice(song, 0, 1));
    }
    void TearDown() override {
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }
    std::string quoted(const char* name) const { return "'" + (m_dir / name).string() + "' "; }

    fs::path m_dir;
};

TEST_F(SingersTest, EachChannelOfAStereoFileSingsItsOwnVoiceOfTheDuet) {
    const struct {
        const char* voices;
        double minShare, maxShare;
    } cases[] = {
        {"", 0.9, 1.0}, // singer 1 takes the first voice, singer 2 the second
        {"--voice 1 --voice 2", 0.9, 1.0},
        {"--voice 2 --voice 1", 0.0, 0.2}, // each sings the other's notes
    };
    for (const auto& [voices, minShare, maxShare] : cases) {
        const std::vector<std::string> singers =
            singerEntries(runToolJson(quoted("duet.wav") + voices));
        ASSERT_EQ(singers.size(), 2u) << voices;
        for (const std::string& singer : singers) {
            EXPECT_GE(shareOf(singer), minShare) << voices << ": " << singer;
            EXPECT_LE(shareOf(singer), maxShare) << voices << ": " << singer;
        }
    }
}

TEST_F(SingersTest, ASingerScoresTheSameAloneAsAmongSevenOthers) {
    const std::string alone = runToolJson(quoted("first.wav"));
    const std::string duet = runToolJson(quoted("duet.wav"));
    const std::string secondAlone = runToolJson(quoted("second.wav") + "--voice 2");
    // first.wav, then the duet's two channels three times, then second.wav: eight singers.
    const std::string eight =
        runToolJson(quoted("first.wav") + quoted("duet.wav") + quoted("duet.wav") +
                    quoted("duet.wav") + quoted("second.wav") +
                    "--voice 1 --voice 1 --voice 2 --voice 1 --voice 2 --voice 1 --voice 2");
    const std::vector<std::string> singers = singerEntries(eight);
    ASSERT_EQ(singers.size(), 8u) << eight;
    EXPECT_EQ(eight.substr(0, eight.find("\"singers\"")),
              alone.substr(0, alone.find("\"singers\"")));
    EXPECT_EQ(singers[0], singerEntries(alone).at(0));
    for (std::size_t k = 1; k < 7; ++k)
        EXPECT_EQ(singers[k], singerEntries(duet).at((k - 1) % 2)) << "singer " << k + 1;
    // The last singer follows the default voice, the second, as the --voice list ran out.
    EXPECT_EQ(singers[7], singerEntries(secondAlone).at(0));

    // A ninth singer is refused by name, whatever the files.
    const std::string nine =
        runToolJson(quoted("first.wav") + quoted("duet.wav") + quoted("duet.wav") +
                        quoted("duet.wav") + quoted("duet.wav"),
                    1);
    EXPECT_NE(nine.find("at most 8 singers"), std::string::npos) << nine;
}

} // namespace

// Runs the tool and gives its standard output; the exit status is checked.
std::string toolOutput(const std::string& arguments, int exitStatus) {
    FILE* pipe = ::popen(
        (std::string("'") + CANTORIX_TOOL + "' sing " + arguments + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    EXPECT_EQ(pipe ? WEXITSTATUS(::pclose(pipe)) : -1, exitStatus) << arguments << "\n" << out;
    return out;
}

struct LinePoints {
    long startMs;
    int possible, points;
    bool operator==(const LinePoints&) const = default;
};

std::vector<LinePoints> linesOf(const std::string& out) {
    std::vector<LinePoints> lines;
    const std::regex line("\\{\"startMs\": (\\d+), \"possible\": (\\d+), \"points\": (\\d+)\\}");
    const std::string first = out.substr(0, out.find("\"singers\""));
    for (auto it = std::sregex_iterator(first.begin(), first.end(), line);
         it != std::sregex_iterator(); ++it)
        lines.push_back({std::stol((*it)[1]), std::stoi((*it)[2]), std::stoi((*it)[3])});
    return lines;
}

TEST(SingCommandTest, AMedleyJudgesTheRefrainAloneAndScoresItsLinesAsTheWholeSongDoes) {
    // Verse, chorus, verse, chorus: lines of four one-second notes every five seconds.
    const std::vector<std::vector<int>> tunes = {{0, 2, 4, 5}, {7, 5, 4, 2}, {0, 4, 7, 4},
                                                 {9, 7, 5, 4}, {2, 4, 5, 7}, {4, 2, 0, 0}};
    const int order[] = {0, 1, 2, 3, 4, 5, 1, 2, 3, 4, 0};
    std::ostringstream text;
    text << "#TITLE:Refrain\n#ARTIST:Tests\n#BPM:150\n#GAP:1000\n";
    for (std::size_t i = 0; i < std::size(order); ++i) {
        if (i)
            text << "- " << 50 * i - 5 << "\n";
        for (std::size_t k = 0; k < 4; ++k)
            text << ": " << 50 * i + 10 * k << " 10 " << tunes[order[i]][k] << " l" << order[i]
                 << "n" << k << " \n";
    }
    text << "E\n";
    const fs::path dir =
        fs::temp_directory_path() / ("cantorix-sing-medley-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    cantorix::testing::writeFile(dir / "song.txt", text.str());
    const songs::StandardSong song = songs::readStandardSong(text.str());
    // In tune on every other note, three semitones off on the others, so lines score unevenly.
    std::vector<cantorix::testing::VoiceNote> notes;
    int k = 0;
    for (const session::TimedNote& n : session::voiceTimeline(song, 0).notes)
        notes.push_back({static_cast<int>(std::lround(n.startMs)),
                         static_cast<int>(std::lround(n.endMs - n.startMs)),
                         60 + n.note.pitch + (k++ % 3 == 0 ? 3 : 0)});
    cantorix::testing::writeMonoWav(dir / "voice.wav", cantorix::testing::generatedVoice(notes));
    const std::string files =
        "'" + (dir / "song.txt").string() + "' '" + (dir / "voice.wav").string() + "' --json";

    const std::vector<LinePoints> whole = linesOf(toolOutput(files, 0));
    const std::string medleyOut = toolOutput(files + " --medley", 0);
    ASSERT_EQ(whole.size(), std::size(order));
    // Lines 1 to 4 come back as lines 6 to 9: they are the refrain, 6 s to 25 s.
    EXPECT_NE(medleyOut.find("\"medley\": {\"fromMs\": 6000, \"toMs\": 25000, "
                             "\"source\": \"refrain\"}"),
              std::string::npos)
        << medleyOut;
    const std::vector<LinePoints> part = linesOf(medleyOut);
    EXPECT_EQ(part, std::vector<LinePoints>(whole.begin() + 1, whole.begin() + 5));
    int possible = 0, points = 0;
    for (const LinePoints& line : part) {
        possible += line.possible;
        points += line.points;
    }
    EXPECT_NE(medleyOut.find("\"possible\": " + std::to_string(possible) + ", "),
              std::string::npos);
    EXPECT_NE(medleyOut.find("\"notePoints\": " + std::to_string(points) + ", "),
              std::string::npos);
    EXPECT_LT(points, possible);
    EXPECT_GT(points, possible / 2);

    // A song with no part is refused with the reason, before anything is sung.
    cantorix::testing::writeFile(dir / "plain.txt",
                                 "#TITLE:P\n#ARTIST:T\n#BPM:150\n#CALCMEDLEY:OFF\n: 0 10 0 a\nE\n");
    const std::string refused = toolOutput("'" + (dir / "plain.txt").string() + "' '" +
                                               (dir / "voice.wav").string() + "' --json --medley",
                                           1);
    EXPECT_NE(refused.find("no medley part"), std::string::npos) << refused;
    fs::remove_all(dir);
}
