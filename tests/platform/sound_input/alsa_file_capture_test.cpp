// A real stereo capture through PortAudio's ALSA host API on a machine without a sound card:
// an ALSA configuration of this test's own defines a capture device that reads raw stereo
// frames from a named pipe (left a 440 Hz tone, right a quieter 660 Hz one). Its own program,
// so that ALSA_CONFIG_PATH is set before anything in the process reads ALSA's configuration.
//
// Why a pipe: the device stands on ALSA's null device, which captures far faster than real
// time, and past the end of its input it repeats stale buffers. Through a pipe the stream waits
// until the test, listening already, writes the frames in one piece.

#include "platform/sound_input/capture_input_set.h"
#include "platform/sound_output/null_audio_output.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::platform;
namespace fs = std::filesystem;

namespace {

constexpr const char* kTestDevice = "cantorix_test_receiver";

class AlsaFileCaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("cantorix_alsa_" + std::to_string(::getpid()));
        fs::create_directories(s_dir);
        ::mkfifo((s_dir / "receiver.fifo").c_str(), 0600);
        // The system's own configuration first: it defines the null device the file one
        // stands on.
        std::ofstream(s_dir / "asound.conf")
            << "</usr/share/alsa/alsa.conf>\n"
            << "pcm." << kTestDevice << " {\n"
            << "    type file\n"
            << "    slave.pcm \"null\"\n"
            << "    file \"/dev/null\"\n"
            << "    infile \"" << (s_dir / "receiver.fifo").string() << "\"\n"
            << "    format \"raw\"\n"
            << "}\n";
        ::setenv("ALSA_CONFIG_PATH", (s_dir / "asound.conf").c_str(), 1);
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static fs::path s_dir;
};

fs::path AlsaFileCaptureTest::s_dir;

// A quarter of a second of the two tones, interleaved: small enough for one atomic write into
// an empty pipe, so the device never reads part of it.
std::vector<std::int16_t> receiverFrames() {
    std::vector<std::int16_t> frames;
    for (int i = 0; i < CaptureHub::kSampleRate / 4; ++i) {
        const double t = static_cast<double>(i) / CaptureHub::kSampleRate;
        frames.push_back(
            static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * M_PI * 440 * t))));
        frames.push_back(
            static_cast<std::int16_t>(std::lround(8000 * std::sin(2 * M_PI * 660 * t))));
    }
    return frames;
}

// The pipe's writing end, open for reading too so that neither side waits for the other to
// open; closed before the capture stops, so the device's reads end instead of waiting.
class PipeWriter {
public:
    explicit PipeWriter(const fs::path& pipe) : m_fd(::open(pipe.c_str(), O_RDWR | O_CLOEXEC)) {}
    ~PipeWriter() { close(); }
    PipeWriter(const PipeWriter&) = delete;
    PipeWriter& operator=(const PipeWriter&) = delete;
    bool write(const std::vector<std::int16_t>& frames) {
        const auto bytes = static_cast<ssize_t>(frames.size() * sizeof frames[0]);
        return m_fd >= 0 && ::write(m_fd, frames.data(), static_cast<std::size_t>(bytes)) == bytes;
    }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// The first tenth of a second the click player heard since it started, however busy the
// machine.
std::vector<std::int16_t> heardBy(session::ClickPlayer& clicks, const app::SoundInput& input) {
    CaptureHub& hub = dynamic_cast<CaptureService&>(*input.capture).hub();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (hub.framesDelivered() < 4410 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::vector<std::int16_t> frames = clicks.finish().captured;
    frames.resize(std::min<std::size_t>(frames.size(), 4410));
    return frames;
}

int upwardCrossings(const std::vector<std::int16_t>& frames) {
    int crossings = 0;
    for (std::size_t i = 1; i < frames.size(); ++i)
        crossings += frames[i - 1] < 0 && frames[i] >= 0;
    return crossings;
}

int peak(const std::vector<std::int16_t>& frames) {
    int level = 0;
    for (std::int16_t s : frames)
        level = std::max(level, std::abs(static_cast<int>(s)));
    return level;
}

// Each channel of the stereo device is an input of its own, named and addressed by card, device
// and channel, heard by its own click player and not swapped; beside it, a device that vanished
// after listing is listed with why and no capture, and one of no channels is left out.
TEST_F(AlsaFileCaptureTest, EachChannelOfAStereoDeviceIsItsOwnInput) {
    std::ostringstream log;
    NullAudioOutput output;
    CaptureInputSet::Options options;
    options.output = &output;
    options.listDevices = [] {
        return std::vector<AlsaCaptureDevice>{
            {"Receiver", "Test Receiver", 0, 2, kTestDevice},
            {"Gone", "USB Mic", 0, 1, "plughw:CARD=Gone,DEV=0"},
            {"Empty", "Nothing", 0, 0, "plughw:CARD=Empty,DEV=0"}};
    };
    options.systemDefaultInput = false;
    options.log = &log;
    PipeWriter pipe(s_dir / "receiver.fifo");
    CaptureInputSet set(options);
    set.relist();
    // Declared after the inputs: the pipe closes first, so the device's reads end.
    struct ClosePipe {
        PipeWriter& pipe;
        ~ClosePipe() { pipe.close(); }
    } closePipe{pipe};
    ASSERT_EQ(set.inputs().size(), 3u) << log.str();
    const app::SoundInput& left = set.inputs()[0];
    const app::SoundInput& right = set.inputs()[1];
    ASSERT_TRUE(left.problem.empty()) << left.problem;
    EXPECT_EQ(left.address, (session::InputAddress{"Receiver", 0, 0}));
    EXPECT_EQ(left.name, "Test Receiver — left");
    EXPECT_EQ(right.address, (session::InputAddress{"Receiver", 1, 0}));
    // "Empty" is another card: the receiver's former address stays certain.
    EXPECT_EQ(right.formerAddress, (session::InputAddress{"Receiver", 1}));
    EXPECT_EQ(right.name, "Test Receiver — right");
    const app::SoundInput& gone = set.inputs()[2];
    EXPECT_EQ(gone.capture, nullptr);
    EXPECT_NE(gone.problem.find("cannot be opened"), std::string::npos) << gone.problem;
    EXPECT_EQ(set.clicksThrough(gone.address), nullptr);
    EXPECT_NE(log.str().find("Empty"), std::string::npos) << log.str();

    // Each input's click player listens from before the first frame: a tenth of a second of
    // each holds 44 and 66 rising zero crossings.
    session::ClickPlayer* leftClicks = set.clicksThrough(left.address);
    session::ClickPlayer* rightClicks = set.clicksThrough(right.address);
    ASSERT_TRUE(leftClicks && rightClicks);
    leftClicks->start(std::vector<float>(441, 0.5f), 44100);
    rightClicks->start(std::vector<float>(441, 0.5f), 44100);
    ASSERT_TRUE(pipe.write(receiverFrames()));
    const auto heardLeft = heardBy(*leftClicks, left);
    const auto heardRight = heardBy(*rightClicks, right);
    ASSERT_EQ(heardLeft.size(), 4410u);
    ASSERT_EQ(heardRight.size(), 4410u);
    EXPECT_NEAR(upwardCrossings(heardLeft), 44, 1);
    EXPECT_NEAR(upwardCrossings(heardRight), 66, 1);
    EXPECT_NEAR(peak(heardLeft), 16000, 100);
    EXPECT_NEAR(peak(heardRight), 8000, 100);
    EXPECT_FALSE(set.lost(left.address));
}

// A device that stops delivering, as an unplugged one does, counts as lost once the game has
// watched it deliver nothing for long enough, and stays lost.
TEST_F(AlsaFileCaptureTest, ADeviceThatStopsDeliveringIsLost) {
    CaptureInputSet::Options options;
    options.listDevices = [] {
        return std::vector<AlsaCaptureDevice>{{"Receiver", "Test Receiver", 0, 2, kTestDevice}};
    };
    options.systemDefaultInput = false;
    PipeWriter pipe(s_dir / "receiver.fifo");
    CaptureInputSet set(options);
    set.relist();
    struct ClosePipe {
        PipeWriter& pipe;
        ~ClosePipe() { pipe.close(); }
    } closePipe{pipe};
    ASSERT_EQ(set.inputs().size(), 2u);
    ASSERT_NE(set.inputs()[1].capture, nullptr) << set.inputs()[1].problem;
    const session::InputAddress right = set.inputs()[1].address;
    CaptureHub& hub = dynamic_cast<CaptureService&>(*set.inputs()[1].capture).hub();
    // A quarter of a second arrives, then nothing: the pipe stays open and empty.
    ASSERT_TRUE(pipe.write(receiverFrames()));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (hub.framesDelivered() < 11025 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(hub.framesDelivered(), 11025u);
    set.lost(right); // the game polls it every tick; here it sees the last frames arrive
    std::this_thread::sleep_for(
        std::chrono::duration<double>(DeviceCapture::kSilentSecondsLost + 0.5));
    EXPECT_TRUE(set.lost(right));
    EXPECT_TRUE(set.lost(set.inputs()[0].address));
    ASSERT_TRUE(pipe.write(receiverFrames()));
    EXPECT_TRUE(set.lost(right));
}

} // namespace
