#include "platform/sound_input/capture_input_set.h"
#include "platform/sound_output/null_audio_output.h"
#include "platform/wav_test_files.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
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

// A device listed and then gone before it opens (unplugged, or busy elsewhere) is listed with
// why, has no capture, is not "lost" (it never ran) and leaves the recorder recording silence.
TEST_F(CaptureInputSetTest, ADeviceThatVanishedBeforeOpeningIsListedWithItsProblem) {
    std::ostringstream log;
    CaptureInputSet::Options options;
    options.listDevices = [] {
        return std::vector<AlsaCaptureDevice>{
            {"Gone", "USB Receiver", 0, 2, "plughw:CARD=Gone,DEV=0"},
            {"Empty", "Nothing", 0, 0, "plughw:CARD=Empty,DEV=0"}};
    };
    options.systemDefaultInput = false;
    options.log = &log;
    CaptureInputSet set(options);
    set.relist();
    ASSERT_EQ(set.inputs().size(), 2u);
    for (const app::SoundInput& input : set.inputs()) {
        EXPECT_EQ(input.capture, nullptr);
        EXPECT_NE(input.problem.find("cannot be opened"), std::string::npos) << input.problem;
        EXPECT_FALSE(set.lost(input.address));
    }
    EXPECT_EQ(set.inputs()[1].name, "USB Receiver — right");
    EXPECT_NE(log.str().find("Empty"), std::string::npos) << "the device of no channels is said";
    set.chooseRecorded({set.inputs()[0].address});
    EXPECT_EQ(set.recorder().queryFormat(base::makePcmFormat(44100, 16, 1)), audio::kWaveInOk);
    // Whoever still listens to one input hears silence rather than nothing at all.
    EXPECT_EQ(set.firstCapture().describe(), "silence");
    set.relist();
    EXPECT_EQ(set.inputs().size(), 2u);
}

// The calibration listens through the input it is pressed on: a stereo file whose left channel
// is a tone and whose right is silence gives a click player per channel, each hearing its own.
TEST_F(CaptureInputSetTest, EachInputHasAClickPlayerListeningToItsOwnChannel) {
    Bytes samples;
    for (int i = 0; i < 44100; ++i) {
        putLe(samples, static_cast<std::uint16_t>(i % 100 < 50 ? 12000 : -12000), 2);
        putLe(samples, 0, 2);
    }
    NullAudioOutput output;
    CaptureInputSet::Options options;
    options.micWavs = {write("duet.wav", wav(1, 2, 44100, 16, samples))};
    options.output = &output;
    CaptureInputSet set(options);
    set.relist();
    ASSERT_EQ(set.inputs().size(), 2u);
    EXPECT_EQ(set.clicksThrough({"mic-file-1", 2}), nullptr);
    std::vector<int> peaks;
    for (const app::SoundInput& input : set.inputs()) {
        session::ClickPlayer* clicks = set.clicksThrough(input.address);
        ASSERT_NE(clicks, nullptr);
        EXPECT_EQ(clicks, set.clicksThrough(input.address));
        clicks->start(std::vector<float>(441, 0.5f), 44100);
        input.recording->startOver();
        // Wait for a tenth of a second of the file to reach the input, however busy the machine.
        CaptureHub& hub = dynamic_cast<CaptureService&>(*input.capture).hub();
        const std::uint64_t from = hub.framesDelivered();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (hub.framesDelivered() < from + 4410 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const session::ClickRoundRecording round = clicks->finish();
        ASSERT_GE(round.captured.size(), 4410u);
        int peak = 0;
        for (std::int16_t s : round.captured)
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        peaks.push_back(peak);
        input.recording->silence();
    }
    EXPECT_GT(peaks[0], 8000);
    EXPECT_EQ(peaks[1], 0);
}

} // namespace
