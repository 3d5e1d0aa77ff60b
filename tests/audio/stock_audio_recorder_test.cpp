#include "audio/recording_paths.h"
#include "audio/stock_audio_recorder.h"
#include "audio/wave_audio_errors.h"
#include "fakes/fake_wave_in_device.h"
#include "fakes/manual_main_thread.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

using namespace cantorix::audio;
using namespace cantorix::audio::testing;
using cantorix::pitch::testing::ManualInvoker;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t le16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::string text(const Bytes& b, std::size_t at) {
    return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}
Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class StockAudioRecorderTest : public ::testing::Test {
protected:
    StockAudioRecorderTest() { configureForPerformance(recorder); }
    ~StockAudioRecorderTest() override { fs::remove_all(m_dir); }

    // Starts into memory and lets the main thread handle the opened notification.
    void startInMemory(std::size_t room = SIZE_MAX) {
        recorder.recordToStream(std::make_unique<MemoryOutputStream>(file, room));
        invoker.runPending();
    }
    fs::path tempDir() {
        fs::create_directories(m_dir);
        return m_dir;
    }

    fs::path m_dir = fs::temp_directory_path() / ("cantorix_rec_" + std::to_string(::getpid()));
    Bytes file; // declared before the recorder, which may still write on destruction
    FakeWaveInDevice device;
    ManualInvoker invoker;
    std::vector<std::string> errors;
    TStockAudioRecorder recorder{device, invoker,
                                 [this](const std::exception& e) { errors.push_back(e.what()); }};
};

TEST_F(StockAudioRecorderTest, AStopRightAfterTheStartLeavesAnEmpty46ByteWave) {
    const fs::path path = tempDir() / "buf1.wav";
    recorder.recordToFile(path);
    EXPECT_TRUE(recorder.active());
    recorder.stop();
    EXPECT_FALSE(recorder.active());
    EXPECT_TRUE(errors.empty()) << errors.front();

    const Bytes bytes = readFile(path);
    const Bytes expected = {'R',  'I',  'F', 'F', 38,   0,    0,    0, 'W', 'A', 'V', 'E',
                            'f',  'm',  't', ' ', 18,   0,    0,    0, 1,   0,   2,   0,
                            0x22, 0x56, 0,   0,   0x88, 0x58, 0x01, 0, 4,   0,   16,  0,
                            0,    0,    'd', 'a', 't',  'a',  0,    0, 0,   0};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(device.opened, device.queried);
}

TEST_F(StockAudioRecorderTest, TheHeaderIsWrittenAtOpenWithTheSizesStillZero) {
    startInMemory();
    ASSERT_EQ(file.size(), 46u);
    EXPECT_EQ(text(file, 0), "RIFF");
    EXPECT_EQ(le32(file, 4), 0u);
    EXPECT_EQ(text(file, 36 + 2), "data");
    EXPECT_EQ(le16(file, 22), 2);      // channels
    EXPECT_EQ(le32(file, 24), 22050u); // rate
    EXPECT_EQ(le32(file, 28), 88200u); // bytes per second
    EXPECT_EQ(le16(file, 32), 4);      // block align
    EXPECT_EQ(le16(file, 34), 16);     // bits
    EXPECT_EQ(le16(file, 36), 0);      // extra size
}

TEST_F(StockAudioRecorderTest, TwoSilentBuffersOf100MsAreKeptQueuedAndStarted) {
    startInMemory();
    ASSERT_EQ(device.queue.size(), 2u);
    EXPECT_EQ(device.queue[0]->data, Bytes(8820, 0));
    EXPECT_TRUE(device.started);
    device.record(1);
    invoker.runPending();
    EXPECT_EQ(device.queue.size(), 2u); // the returned buffer went back in
}

TEST_F(StockAudioRecorderTest, BuffersAreWrittenInOrderAndTheSizesPatchedAtStop) {
    startInMemory();
    for (std::uint8_t value = 1; value <= 5; ++value) {
        device.record(value);
        invoker.runPending();
    }
    device.record(6, 1000); // partly filled: the stop hands it back
    recorder.stop();
    recorder.setActive(false);

    const std::size_t data = 5 * 8820 + 1000;
    ASSERT_EQ(file.size(), 46 + data);
    EXPECT_EQ(le32(file, 4), 38 + data);
    EXPECT_EQ(le32(file, 42), data);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(file[46 + i * 8820], i + 1) << "buffer " << i;
    EXPECT_EQ(file.back(), 6);
    EXPECT_EQ(device.closes, 1);
}

TEST_F(StockAudioRecorderTest, NotificationsAreHandledOnlyWhenTheMainThreadRunsThem) {
    recorder.recordToStream(std::make_unique<MemoryOutputStream>(file));
    EXPECT_TRUE(device.queue.empty()); // the opened notification waits for the main thread
    invoker.runPending();
    device.record(9);
    EXPECT_EQ(file.size(), 46u);
    invoker.runPending();
    EXPECT_EQ(file.size(), 46u + 8820);
}

TEST_F(StockAudioRecorderTest, InvalidStateChangesRaiseTheirMessages) {
    auto expectInvalid = [](const auto& action, const std::string& message) {
        try {
            action();
            ADD_FAILURE() << "no error for " << message;
        } catch (const EWaveAudioInvalidOperation& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    };
    expectInvalid([&] { recorder.close(); }, "Device is aleardy close");
    recorder.stop(); // already stopped: nothing
    recorder.setActive(false);
    expectInvalid([&] { recorder.setActive(true); }, "Stock property is not assigned");

    startInMemory();
    expectInvalid([&] { recorder.open(); }, "Device is aleardy open");
    expectInvalid([&] { recorder.setPcmFormat(TPCMFormat::Mono16bit8000Hz); },
                  "Audio format cannot be changed while device is open");
    recorder.setActive(true); // already active: nothing
    EXPECT_TRUE(recorder.active());
    recorder.stop();
    recorder.setPcmFormat(TPCMFormat::Mono16bit8000Hz);
    EXPECT_EQ(recorder.pcmFormat(), TPCMFormat::Mono16bit8000Hz);
}

TEST_F(StockAudioRecorderTest, RecordingIntoAnotherFileFinishesTheRunningOne) {
    const fs::path first = tempDir() / "first.wav";
    const fs::path second = m_dir / "second.wav";
    recorder.recordToFile(first);
    invoker.runPending();
    device.record(3);
    invoker.runPending();
    recorder.recordToFile(second);
    EXPECT_TRUE(recorder.active());
    EXPECT_EQ(readFile(first).size(), 46u + 8820);
    EXPECT_EQ(le32(readFile(first), 42), 8820u);
    recorder.stop();
    EXPECT_EQ(readFile(second).size(), 46u);
}

TEST_F(StockAudioRecorderTest, AFileThatCannotBeCreatedRaisesAndLeavesTheRecorderIdle) {
    const fs::path path = tempDir() / "missing" / "buf1.wav";
    try {
        recorder.recordToFile(path);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + path.string() + "\". No such file or directory");
    }
    EXPECT_FALSE(recorder.active());
    EXPECT_TRUE(device.queue.empty());
}

TEST_F(StockAudioRecorderTest, ADeviceFailureAtOpenRaisesItsTextAndFinishesTheFile) {
    device.failWith("open", 4);
    EXPECT_THROW(
        {
            try {
                recorder.recordToStream(std::make_unique<MemoryOutputStream>(file));
            } catch (const EWaveAudioSysError& e) {
                EXPECT_EQ(std::string(e.what()), "device error 4");
                throw;
            }
        },
        EWaveAudioSysError);
    EXPECT_EQ(recorder.lastError(), 4);
    EXPECT_FALSE(recorder.active());
    ASSERT_EQ(file.size(), 46u);
    EXPECT_EQ(le32(file, 4), 38u);
}

TEST_F(StockAudioRecorderTest, AFullDiskReportsTheWriteErrorAndTheRecordingWindsDown) {
    startInMemory(46 + 8820 + 100);
    device.record(1);
    device.record(2);
    invoker.runPending();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "device error 1");
    EXPECT_EQ(recorder.lastError(), 1);
    EXPECT_EQ(device.queue.size(), 1u); // the failed buffer is not queued again
    recorder.stop();
    EXPECT_FALSE(recorder.active());
    EXPECT_EQ(le32(file, 42), 8820u + 100);
}

TEST_F(StockAudioRecorderTest, ADiskWithoutRoomForTheHeaderFailsTheStart) {
    EXPECT_THROW(recorder.recordToStream(std::make_unique<MemoryOutputStream>(file, 20)),
                 EWaveAudioSysError);
    EXPECT_FALSE(recorder.active());
}

TEST_F(StockAudioRecorderTest, AFileOnAFullDeviceFailsTheStartWithoutCrashing) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    EXPECT_THROW(recorder.recordToFile("/dev/full"), EWaveAudioSysError);
    EXPECT_FALSE(recorder.active());
}

TEST_F(StockAudioRecorderTest, BufferSettings) {
    recorder.setBufferLength(3);
    EXPECT_EQ(recorder.bufferLength(), 10);
    recorder.setBufferLength(100);
    startInMemory();
    recorder.setBufferCount(4);
    EXPECT_EQ(device.queue.size(), 4u);
    EXPECT_EQ(recorder.deviceId(), -1);
}

TEST(RecordingPathsTest, TheMixDirectoryIsCreatedWhenMissing) {
    const fs::path root =
        fs::temp_directory_path() / ("cantorix_paths_" + std::to_string(::getpid()));
    fs::remove_all(root);
    EXPECT_EQ(performanceRecordingPath(root), root / "data/buffer/mix/buf1.wav");
    EXPECT_TRUE(ensureMixBufferDirectory(root));
    EXPECT_TRUE(fs::is_directory(root / "data/buffer/mix"));
    EXPECT_TRUE(ensureMixBufferDirectory(root)); // already there

    std::ofstream(root / "file") << "x";
    EXPECT_FALSE(ensureMixBufferDirectory(root / "file"));
    fs::remove_all(root);
}

} // namespace
