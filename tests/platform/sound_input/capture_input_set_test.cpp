#include "platform/sound_input/capture_input_set.h"
#include "platform/wav_test_files.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::platform;
using namespace cantorix::platform::testing;
namespace fs = std::filesystem;

namespace {

class CaptureInputSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("cantorix_inputs_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path write(const std::string& name, const Bytes& bytes) {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        return path;
    }
    // channels of 16-bit silence, a tenth of a second.
    fs::path wavOf(const std::string& name, std::uint16_t channels) {
        return write(name, wav(1, channels, 44100, 16, Bytes(4410u * 2u * channels, 0)));
    }

    fs::path m_dir;
};

struct FilesCase {
    const char* what;
    std::vector<std::pair<const char*, int>> files; // name and channels; -1 not a WAV
    std::vector<std::string> inputs;                // "address=name" of each input
    std::size_t open;                               // inputs with a capture
    std::size_t problems;                           // lines for the player
};

// Each channel of each `--mic` file is one input in order; a file that cannot serve, and
// channels beyond the eighth, are listed with their problem and no capture, and said once.
TEST_F(CaptureInputSetTest, EachFileChannelIsAnInputAndBadFilesAreSaidNotThrown) {
    const std::vector<FilesCase> cases = {
        {"a mono and a stereo file",
         {{"solo.wav", 1}, {"duet.wav", 2}},
         {"mic-file-1:0=solo.wav", "mic-file-2:0=duet.wav — left", "mic-file-2:1=duet.wav — right"},
         3,
         0},
        {"a file of nine channels is refused by name; the next one is heard",
         {{"nine.wav", 9}, {"solo.wav", 1}},
         {"mic-file-1:0=nine.wav", "mic-file-2:0=solo.wav"},
         1,
         1},
        {"a file of no channels and a file that is no WAV",
         {{"none.wav", 0}, {"text.wav", -1}},
         {"mic-file-1:0=none.wav", "mic-file-2:0=text.wav"},
         0,
         2},
        {"five stereo files: ten channels, eight are heard",
         {{"a.wav", 2}, {"b.wav", 2}, {"c.wav", 2}, {"d.wav", 2}, {"e.wav", 2}},
         {"mic-file-1:0=a.wav — left", "mic-file-1:1=a.wav — right", "mic-file-2:0=b.wav — left",
          "mic-file-2:1=b.wav — right", "mic-file-3:0=c.wav — left", "mic-file-3:1=c.wav — right",
          "mic-file-4:0=d.wav — left", "mic-file-4:1=d.wav — right", "mic-file-5:0=e.wav — left",
          "mic-file-5:1=e.wav — right"},
         8,
         2},
    };
    for (const FilesCase& c : cases) {
        std::vector<fs::path> files;
        for (const auto& [name, channels] : c.files)
            files.push_back(channels < 0 ? write(name, Bytes{'h', 'i'}) : wavOf(name, channels));
        std::ostringstream log;
        CaptureInputSet::Options options;
        options.micWavs = files;
        options.log = &log;
        CaptureInputSet set(options);
        set.relist();
        std::vector<std::string> inputs;
        std::size_t open = 0;
        for (const app::SoundInput& input : set.inputs()) {
            inputs.push_back(session::inputAddressText(input.address) + "=" + input.name);
            open += input.capture != nullptr;
            EXPECT_EQ(input.capture == nullptr, !input.problem.empty()) << c.what;
            EXPECT_EQ(input.capture != nullptr, input.recording != nullptr) << c.what;
        }
        EXPECT_EQ(inputs, c.inputs) << c.what;
        EXPECT_EQ(open, c.open) << c.what;
        EXPECT_EQ(set.fileProblems().size(), c.problems) << c.what;
        for (const std::string& problem : set.fileProblems())
            EXPECT_NE(problem.find(m_dir.string()), std::string::npos) << c.what << ": " << problem;
        EXPECT_EQ(set.clicksThrough(set.inputs()[0].address), nullptr) << "no sound output";
    }
}

// A file named relative to the folder the game was started in is still heard after the game has
// moved to its program directory.
TEST_F(CaptureInputSetTest, AFileNamedRelativeToTheStartFolderIsFoundAfterAMove) {
    wavOf("solo.wav", 1);
    const fs::path started = fs::current_path();
    fs::current_path(m_dir);
    CaptureInputSet::Options options;
    options.micWavs = {"solo.wav"};
    CaptureInputSet set(options);
    fs::current_path(fs::temp_directory_path());
    set.relist();
    fs::current_path(started);
    ASSERT_EQ(set.inputs().size(), 1u);
    EXPECT_NE(set.inputs()[0].capture, nullptr) << set.inputs()[0].problem;
}

} // namespace
