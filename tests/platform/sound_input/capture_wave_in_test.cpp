#include "audio/recording_paths.h"
#include "audio/stock_audio_recorder.h"
#include "fakes/manual_main_thread.h"
#include "platform/sound_input/capture_wave_in.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/wav_test_files.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::platform;
using namespace cantorix::platform::testing;
using namespace std::chrono_literals;
using pitch::testing::ManualInvoker;
namespace fs = std::filesystem;

namespace {

const base::TWaveFormat kGameFormat = base::makePcmFormat(22050, 16, 2);

// Collects what the device reports, from whichever thread it reports on.
class Listener : public audio::WaveInListener {
public:
    void waveInOpened() override {
        note([this] { ++opened; });
    }
    void waveInData(std::unique_ptr<audio::WaveInBuffer> buffer) override {
        note([&] { buffers.push_back(std::move(buffer)); });
    }
    void waveInClosed() override {
        note([this] { ++closed; });
    }

    bool waitForBuffers(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return buffers.size() >= count; });
    }

    int opened = 0;
    int closed = 0;
    std::vector<std::unique_ptr<audio::WaveInBuffer>> buffers;

private:
    template <typename F> void note(F change) {
        {
            std::lock_guard lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

std::unique_ptr<audio::WaveInBuffer> buffer(std::size_t bytes) {
    auto b = std::make_unique<audio::WaveInBuffer>();
    b->data.resize(bytes);
    return b;
}

std::int16_t sampleAt(const std::vector<std::uint8_t>& bytes, std::size_t index) {
    return static_cast<std::int16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
}

TEST(CaptureWaveInTest, FillsTheBuffersInOrderWithTheMonoSignalOnBothChannels) {
    CaptureService service;
    CaptureWaveIn device(service);
    Listener listener;
    ASSERT_EQ(device.queryFormat(kGameFormat), audio::kWaveInOk);
    ASSERT_EQ(device.open(kGameFormat, listener), audio::kWaveInOk);
    EXPECT_EQ(listener.opened, 1);
    auto first = buffer(8820);
    auto second = buffer(8820);
    const auto* firstAddress = first.get();
    const auto* secondAddress = second.get();
    device.addBuffer(std::move(first));
    device.addBuffer(std::move(second));
    ASSERT_EQ(device.start(), audio::kWaveInOk);

    std::vector<std::int16_t> sine(44100 * 3 / 10); // the resampler holds some back
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 441 * i / 44100.0));
    service.hub().deliver(sine.data(), sine.size());
    ASSERT_TRUE(listener.waitForBuffers(2));
    EXPECT_EQ(listener.buffers[0].get(), firstAddress);
    EXPECT_EQ(listener.buffers[1].get(), secondAddress);

    const auto& bytes = listener.buffers[1]->data;
    ASSERT_EQ(listener.buffers[1]->recorded, 8820u);
    int peak = 0;
    int crossings = 0;
    for (std::size_t frame = 0; frame < 2205; ++frame) {
        const std::int16_t left = sampleAt(bytes, 2 * frame);
        ASSERT_EQ(left, sampleAt(bytes, 2 * frame + 1)) << "frame " << frame;
        peak = std::max(peak, std::abs(static_cast<int>(left)));
        crossings += frame > 0 && sampleAt(bytes, 2 * frame - 2) < 0 && left >= 0;
    }
    EXPECT_NEAR(peak, 10000, 300);
    EXPECT_NEAR(crossings, 44, 1); // 441 Hz over 100 ms
    EXPECT_EQ(device.close(), audio::kWaveInOk);
    EXPECT_EQ(listener.closed, 1);
}

TEST(CaptureWaveInTest, StopAndResetReturnTheBuffersAndCloseWaitsForThem) {
    CaptureService service;
    CaptureWaveIn device(service);
    Listener listener;
    EXPECT_EQ(device.queryFormat(base::makePcmFormat(22050, 24, 2)), CaptureWaveIn::kBadFormat);
    EXPECT_EQ(device.addBuffer(buffer(8820)), CaptureWaveIn::kInvalidHandle);
    ASSERT_EQ(device.open(kGameFormat, listener), audio::kWaveInOk);
    EXPECT_EQ(device.open(kGameFormat, listener), CaptureWaveIn::kAllocated);
    device.addBuffer(buffer(8820));
    device.addBuffer(buffer(8820));
    device.start();
    const std::vector<std::int16_t> frames(4410, 1000); // 50 ms
    service.hub().deliver(frames.data(), frames.size());
    // The worker takes frames in every 10 ms; stopping drops whatever it has not taken yet.
    std::this_thread::sleep_for(200ms);
    device.stop();
    ASSERT_EQ(listener.buffers.size(), 1u);
    EXPECT_GT(listener.buffers[0]->recorded, 0u);
    EXPECT_LT(listener.buffers[0]->recorded, 8820u);
    EXPECT_EQ(device.close(), CaptureWaveIn::kStillRecording);
    device.reset();
    ASSERT_EQ(listener.buffers.size(), 2u);
    EXPECT_EQ(listener.buffers[1]->recorded, 0u);
    EXPECT_EQ(device.close(), audio::kWaveInOk);
    EXPECT_EQ(device.close(), CaptureWaveIn::kInvalidHandle);
    EXPECT_EQ(device.errorText(1), "An unspecified error occurred");
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// The game's path end to end: a WAV microphone through the real capture service and the
// recorder, notifications run by a stand-in main thread, into buf1.wav.
TEST(CaptureWaveInTest, TheRecorderWritesTheLiveCaptureToTheMixBuffer) {
    const fs::path root =
        fs::temp_directory_path() / ("cantorix_e2e_" + std::to_string(::getpid()));
    const fs::path mic = root / "mic.wav";
    fs::create_directories(root);
    {
        const Bytes wav = stereoSine(22050, 441, 1.0, 0.5, 1);
        std::ofstream(mic, std::ios::binary)
            .write(reinterpret_cast<const char*>(wav.data()), static_cast<long>(wav.size()));
    }
    ASSERT_TRUE(audio::ensureMixBufferDirectory(root));
    CaptureService service([&](CaptureHub& hub) {
        auto input = std::make_unique<WavFileInput>(hub, mic);
        input->startOver();
        return input;
    });
    CaptureWaveIn device(service);
    ManualInvoker invoker;
    std::vector<std::string> errors;
    {
        audio::TStockAudioRecorder recorder(
            device, invoker, [&](const std::exception& e) { errors.push_back(e.what()); });
        audio::configureForPerformance(recorder);
        recorder.recordToFile(audio::performanceRecordingPath(root));
        const auto until = std::chrono::steady_clock::now() + 450ms;
        while (std::chrono::steady_clock::now() < until)
            invoker.runNext(50ms);
        recorder.stop();
        recorder.setActive(false);
    }
    EXPECT_TRUE(errors.empty()) << errors.front();

    const Bytes file = readFile(audio::performanceRecordingPath(root));
    fs::remove_all(root);
    ASSERT_GE(file.size(), 46u + 3 * 8820);
    EXPECT_EQ(le32(file, 4), file.size() - 8);
    EXPECT_EQ(le32(file, 42), file.size() - 46);
    EXPECT_EQ(file.size() % 4, 46 % 4);
    int peak = 0;
    for (std::size_t at = 46; at + 4 <= file.size(); at += 4) {
        const auto left = static_cast<std::int16_t>(file[at] | file[at + 1] << 8);
        const auto right = static_cast<std::int16_t>(file[at + 2] | file[at + 3] << 8);
        ASSERT_EQ(left, right) << "at " << at;
        peak = std::max(peak, std::abs(static_cast<int>(left)));
    }
    EXPECT_NEAR(peak, 16384, 500);
}

} // namespace
