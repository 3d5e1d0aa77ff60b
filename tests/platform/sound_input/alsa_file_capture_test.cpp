// A real stereo capture through PortAudio's ALSA host API on a machine without a sound card:
// an ALSA configuration of this test's own defines a capture device that reads a raw stereo
// file (left a 440 Hz tone, right a quieter 660 Hz one). Its own program, so that
// ALSA_CONFIG_PATH is set before anything in the process reads ALSA's configuration.

#include "platform/sound_input/capture_input_set.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::platform;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* kTestDevice = "cantorix_test_receiver";
constexpr double kLeftHz = 440;
constexpr double kRightHz = 660;

class AlsaFileCaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("cantorix_alsa_" + std::to_string(::getpid()));
        fs::create_directories(s_dir);
        std::ofstream raw(s_dir / "receiver.raw", std::ios::binary);
        for (int i = 0; i < CaptureHub::kSampleRate * 2; ++i) {
            const double t = static_cast<double>(i) / CaptureHub::kSampleRate;
            const std::int16_t frame[2] = {
                static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * M_PI * kLeftHz * t))),
                static_cast<std::int16_t>(std::lround(8000 * std::sin(2 * M_PI * kRightHz * t)))};
            raw.write(reinterpret_cast<const char*>(frame), sizeof frame);
        }
        // The system's own configuration first: it defines the null device the file one
        // stands on.
        std::ofstream(s_dir / "asound.conf")
            << "</usr/share/alsa/alsa.conf>\n"
            << "pcm." << kTestDevice << " {\n"
            << "    type file\n"
            << "    slave.pcm \"null\"\n"
            << "    file \"/dev/null\"\n"
            << "    infile \"" << (s_dir / "receiver.raw").string() << "\"\n"
            << "    format \"raw\"\n"
            << "}\n";
        ::setenv("ALSA_CONFIG_PATH", (s_dir / "asound.conf").c_str(), 1);
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static fs::path s_dir;
};

fs::path AlsaFileCaptureTest::s_dir;

// Frames of one input from the moment of subscribing, waiting for them up to five seconds.
std::vector<std::int16_t> framesOf(CaptureHub::Subscription& subscription, std::size_t count) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (subscription.available() < count && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    std::vector<std::int16_t> frames(count);
    frames.resize(subscription.read(frames.data(), count));
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

TEST_F(AlsaFileCaptureTest, EachChannelOfAStereoDeviceIsItsOwnInput) {
    std::ostringstream log;
    CaptureInputSet::Options options;
    options.listDevices = [] {
        return std::vector<AlsaCaptureDevice>{{"Receiver", "Test Receiver", 0, 2, kTestDevice}};
    };
    options.systemDefaultInput = false;
    options.log = &log;
    CaptureInputSet set(options);
    set.relist();
    ASSERT_EQ(set.inputs().size(), 2u) << log.str();
    const app::SoundInput& left = set.inputs()[0];
    const app::SoundInput& right = set.inputs()[1];
    ASSERT_TRUE(left.problem.empty()) << left.problem;
    EXPECT_EQ(left.address, (session::InputAddress{"Receiver", 0}));
    EXPECT_EQ(left.name, "Test Receiver — left");
    EXPECT_EQ(right.address, (session::InputAddress{"Receiver", 1}));
    EXPECT_EQ(right.name, "Test Receiver — right");

    auto* leftCapture = dynamic_cast<CaptureService*>(left.capture);
    auto* rightCapture = dynamic_cast<CaptureService*>(right.capture);
    ASSERT_TRUE(leftCapture && rightCapture);
    auto leftFrames = leftCapture->subscribe(1 << 14);
    auto rightFrames = rightCapture->subscribe(1 << 14);
    // A tenth of a second of each: 44 and 66 rising zero crossings.
    const auto heardLeft = framesOf(*leftFrames, 4410);
    const auto heardRight = framesOf(*rightFrames, 4410);
    ASSERT_EQ(heardLeft.size(), 4410u);
    ASSERT_EQ(heardRight.size(), 4410u);
    EXPECT_NEAR(upwardCrossings(heardLeft), 44, 1);
    EXPECT_NEAR(upwardCrossings(heardRight), 66, 1);
    EXPECT_NEAR(peak(heardLeft), 16000, 100);
    EXPECT_NEAR(peak(heardRight), 8000, 100);
    EXPECT_FALSE(set.lost(left.address));

    // Listing again closes the stream and opens the device anew.
    leftFrames.reset();
    rightFrames.reset();
    set.relist();
    ASSERT_EQ(set.inputs().size(), 2u);
    EXPECT_NE(set.inputs()[1].capture, nullptr) << set.inputs()[1].problem;
}

} // namespace
