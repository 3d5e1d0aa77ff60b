// Every cantorix-tool command given a file it must not read — a named pipe nobody writes to, a
// song text far larger than any song — ends with a message naming the reason instead of waiting
// or filling the memory. Each run is bounded, so a command that waits fails the test.

#include "fakes/file_bytes.h"
#include "fakes/special_files.h"
#include "fakes/tool_run.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using cantorix::testing::ToolRun;

constexpr int kTimedOut = 124; // timeout(1)'s status when it had to stop the command

ToolRun runTool(const std::string& args) {
    return cantorix::testing::runCommand(std::string("timeout -k 5 60 '") + CANTORIX_TOOL + "' " +
                                         args + " 2>&1 </dev/null");
}

class HostileArgumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-hostile-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        for (const char* name : {"pipe.txt", "pipe.wav", "pipe.mid", "pipe.mp3"})
            cantorix::testing::makeFifo(m_dir / name);
        cantorix::testing::writeFile(m_dir / "song.txt", "#VERSION:1.0.0\n#TITLE:T\n#ARTIST:A\n"
                                                         "#BPM:120\n: 0 4 0 la\nE\n");
        cantorix::testing::writeMonoWav(m_dir / "voice.wav", std::vector<std::int16_t>(4410));
        // Larger than a song text may be, and without taking the disk space.
        cantorix::testing::writeFile(m_dir / "big.txt", "#VERSION:1.0.0\n");
        fs::resize_file(m_dir / "big.txt", 5 * 1024 * 1024);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string file(const char* name) const { return "'" + (m_dir / name).string() + "'"; }

    fs::path m_dir;
};

TEST_F(HostileArgumentTest, EachCommandRefusesWhatItMustNotReadWithTheReason) {
    struct Case {
        std::string args;
        const char* reason;
    };
    const Case cases[] = {
        {"song " + file("pipe.txt"), "named pipe"},
        {"song --json " + file("pipe.txt"), "named pipe"},
        {"song " + file("big.txt"), "5.0 MiB, 5242880 bytes"},
        {"sing " + file("pipe.txt") + " " + file("voice.wav"), "named pipe"},
        {"sing " + file("big.txt") + " " + file("voice.wav"), "5.0 MiB, 5242880 bytes"},
        {"sing " + file("song.txt") + " " + file("pipe.wav"), "named pipe"},
        {"pitch " + file("pipe.wav"), "named pipe"},
        {"midi " + file("pipe.mid"), "named pipe"},
        {"midi2song " + file("pipe.mid") + " --track 1", "named pipe"},
        {"export " + file("pipe.mp3") + " " + file("voice.wav") + " " + file("out.mp3"),
         "named pipe"},
        {"export " + file("voice.wav") + " " + file("pipe.wav") + " " + file("out.mp3"),
         "named pipe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun run = runTool(c.args);
        EXPECT_NE(run.status, kTimedOut) << "the command waited on its input";
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find(c.reason), std::string::npos) << run.out;
    }
    EXPECT_FALSE(fs::exists(m_dir / "out.mp3"));
}

} // namespace
