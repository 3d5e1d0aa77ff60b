// `cantorix-tool sing` on a song whose audio header claims a year: the session ends when the
// audio really does, a couple of seconds in, not after a year of made-up time. The tool runs
// under `timeout`, so a regression fails instead of hanging the suite.

#include "fakes/file_bytes.h"
#include "fakes/tool_run.h"
#include "platform/claimed_length_files.h"
#include "platform/ffmpeg_test_files.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace cantorix::testing;

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "cantorix-claim-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary directory");
        m_path = pattern;
    }
    ~ScratchDir() { fs::remove_all(m_path); }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

TEST(SingAudioLengthTest, AudioClaimingAYearEndsWhenItsSoundEnds) {
    ScratchDir dir;
    const fs::path audio = makeTone(dir / "song.ogg", "libvorbis", 44100, 2, "2");
    claimOggGranule(audio, std::uint64_t{44100} * 365 * 24 * 3600);
    writeFile(dir / "song.txt", "#TITLE:Long Claim\n#ARTIST:Cantorix\n#MP3:song.ogg\n#BPM:300\n"
                                "#GAP:100\n: 0 4 0 la\n: 8 4 2 la\nE\n");
    writeMonoWav(dir / "voice.wav", std::vector<std::int16_t>(44100));

    // The bound is far above the second the run takes and far below a year of steps.
    const std::string command = "timeout 300 '" + std::string(CANTORIX_TOOL) + "' sing '" +
                                (dir / "song.txt").string() + "' '" + (dir / "voice.wav").string() +
                                "' --json";
    const cantorix::testing::ToolRun run = cantorix::testing::runCommand(command);
    EXPECT_NE(run.status, 124) << "the session ran on past the audio's real end";
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"possible\": "), std::string::npos) << run.out;
}

} // namespace
