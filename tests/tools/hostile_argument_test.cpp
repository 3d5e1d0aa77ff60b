// cantorix-tool given files it must not trust — a named pipe nobody writes to, a song text far
// larger than any song, a cache that is not its own, audio whose header claims a year — ends with
// the reason, leaves other files as they were and stops when the data does. Each run is bounded,
// so a command that waits fails the test instead of hanging it.

#include "fakes/file_bytes.h"
#include "fakes/special_files.h"
#include "fakes/tool_run.h"
#include "platform/claimed_length_files.h"
#include "platform/ffmpeg_test_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace cantorix::testing;

constexpr int kTimedOut = 124; // timeout(1)'s status when it had to stop the command
const std::string kSong = "#VERSION:1.0.0\n#TITLE:T\n#ARTIST:A\n#BPM:120\n: 0 4 0 la\nE\n";
const std::string kNotes = "shopping list\nmilk\n";

ToolRun runTool(const std::string& args, int seconds = 60) {
    return runCommand("timeout -k 5 " + std::to_string(seconds) + " '" + CANTORIX_TOOL + "' " +
                      args + " 2>&1 </dev/null");
}

// A song text of `size` bytes that takes no disk space.
void sparseSong(const fs::path& file, std::uintmax_t size) {
    writeFile(file, "#VERSION:1.0.0\n");
    fs::resize_file(file, size);
}

class HostileArgumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-hostile-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        for (const char* song : {"Good", "Pipe", "Five", "Huge"})
            fs::create_directories(m_dir / "songs" / song);
        writeFile(m_dir / "songs/Good/song.txt", kSong);
        makeFifo(m_dir / "songs/Pipe/song.txt");
        sparseSong(m_dir / "songs/Five/song.txt", 5 * 1024 * 1024); // over the 4 MiB cap
        sparseSong(m_dir / "songs/Huge/song.txt", 140'000'000);
        for (const char* name : {"pipe.wav", "pipe.mid", "pipe.mp3"})
            makeFifo(m_dir / name);
        writeMonoWav(m_dir / "voice.wav", std::vector<std::int16_t>(44100));
        writeFile(m_dir / "notes.txt", kNotes);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string file(const char* name) const { return "'" + (m_dir / name).string() + "'"; }
    std::string path(const char* name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

TEST_F(HostileArgumentTest, EachCommandRefusesWhatItMustNotReadWithTheReason) {
    struct Case {
        std::string args;
        std::string reason;
        int status = 1;
        std::string line = {}; // the output line the reason is on; "" for anywhere
    };
    const std::string pipe = file("songs/Pipe/song.txt"), big = file("songs/Five/song.txt");
    const std::string foreignCache = "scan --cache " + file("notes.txt") + " " + file("songs");
    const auto scan = [&](const char* cache) {
        return "scan --stats --cache " + file(cache) + " " + file("songs");
    };
    const Case cases[] = {
        {"song " + pipe, "named pipe"},
        {"song --json " + pipe, "named pipe"},
        {"song " + big, "5.0 MiB, 5242880 bytes"},
        {"sing " + pipe + " " + file("voice.wav"), "named pipe"},
        {"sing " + big + " " + file("voice.wav"), "5.0 MiB, 5242880 bytes"},
        {"sing " + file("songs/Good/song.txt") + " " + file("pipe.wav"), "named pipe"},
        {"pitch " + file("pipe.wav"), "named pipe"},
        {"midi " + file("pipe.mid"), "named pipe"},
        {"midi2song " + file("pipe.mid") + " --track 1", "named pipe"},
        {"export " + file("pipe.mp3") + " " + file("voice.wav") + " " + file("out.mp3"),
         "named pipe"},
        {"export " + file("voice.wav") + " " + file("pipe.wav") + " " + file("out.mp3"),
         "named pipe"},
        // A scan lists each song text it refuses, reads none of the huge one (its peak memory stays
        // small) and reads the one beside them as ever.
        {scan("c1"), "it is a named pipe, not a regular file", 0, path("songs/Pipe") + "\tfails ("},
        {scan("c2"), "(5.0 MiB, 5242880 bytes; the limit is 4.0 MiB)", 0,
         path("songs/Five") + "\tfails ("},
        {scan("c3"), "(133.5 MiB, 140000000 bytes;", 0, path("songs/Huge") + "\tfails ("},
        {scan("c4"), "(standard format): A - T", 0, path("songs/Good") + "\t"},
        // A cache file that is not its own fails the scan, which still lists the songs.
        {foreignCache,
         "'" + path("notes.txt") + "' is not used this run: it is not an SQLite database"},
        {foreignCache, "A - T", 1, path("songs/Good") + "\t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args + " / " + c.reason);
        const ToolRun run = runTool(c.args);
        EXPECT_NE(run.status, kTimedOut) << "the command waited on its input";
        EXPECT_EQ(run.status, c.status) << run.out;
        const std::size_t at = run.out.find(c.line);
        ASSERT_NE(at, std::string::npos) << run.out;
        const std::size_t end = c.line.empty() ? std::string::npos : run.out.find('\n', at);
        EXPECT_NE(run.out.substr(at, end - at).find(c.reason), std::string::npos) << run.out;
        std::smatch peak;
        if (std::regex_search(run.out, peak, std::regex(R"("peakMB": ([0-9.]+))"))) {
            EXPECT_LT(std::stod(peak[1]), 100.0) << "a refused text was read after all";
        }
    }
    EXPECT_FALSE(fs::exists(m_dir / "out.mp3"));
    EXPECT_EQ(readFile(m_dir / "notes.txt"), kNotes);
    EXPECT_FALSE(fs::exists(path("notes.txt") + "-journal"));
}

// Audio whose header claims a year: the session ends when the sound really does, a couple of
// seconds in. The bound is far above the second the run takes and far below a year of steps.
TEST_F(HostileArgumentTest, SingEndsWhenTheAudioEndsWhateverItsHeaderClaims) {
    claimOggGranule(makeTone(m_dir / "long.ogg", "libvorbis", 44100, 2, "2"),
                    std::uint64_t{44100} * 365 * 24 * 3600);
    writeFile(m_dir / "long.txt", "#TITLE:Long Claim\n#ARTIST:Cantorix\n#MP3:long.ogg\n#BPM:300\n"
                                  "#GAP:100\n: 0 4 0 la\n: 8 4 2 la\nE\n");
    const ToolRun run =
        runTool("sing " + file("long.txt") + " " + file("voice.wav") + " --json", 300);
    EXPECT_NE(run.status, kTimedOut) << "the session ran on past the audio's real end";
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"possible\": "), std::string::npos) << run.out;
}

} // namespace
