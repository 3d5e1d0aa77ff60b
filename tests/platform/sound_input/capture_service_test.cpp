#include "fakes/manual_main_thread.h"
#include "pitch/capture_stream.h"
#include "platform/sound_input/capture_factory.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/paced_input.h"
#include "platform/sound_input/silent_input.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/sound_input/wav_reader.h"
#include "platform/wav_test_files.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace cantorix::platform;
using namespace cantorix::platform::testing;
using namespace cantorix::pitch;
using namespace std::chrono_literals;
using cantorix::pitch::testing::ManualInvoker;

namespace {

std::vector<std::int16_t> readAll(CaptureHub::Subscription& s) {
    std::vector<std::int16_t> out(s.available());
    out.resize(s.read(out.data(), out.size()));
    return out;
}

// The game's capture over the real service: the stream discovers 28 formats, picks entry 18
// and reads back exactly the frames the input delivered.
TEST(CaptureServiceTest, TheStreamReadsTheDeliveredFramesInTheGamesFormat) {
    CaptureService service;
    ManualInvoker invoker;
    TSoundCaptureStream stream(service, invoker, [](const std::exception&) {});
    ASSERT_EQ(stream.supportedFormats().count(), 28);
    EXPECT_EQ(stream.supportedFormats().items(18), (TSoundCaptureFormat{16, 1, 44100}));
    stream.setCaptureFormat(18);
    stream.setBufferLength(512);
    stream.start();
    EXPECT_EQ(stream.ringSize(), 45158);

    std::vector<std::int16_t> frames(30000);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<std::int16_t>(i * 7);
    service.hub().deliver(frames.data(), frames.size());
    ASSERT_EQ(stream.filledSize(), 60000 - 45158); // more than the ring: modulo
    service.hub().deliver(frames.data(), 1000);
    std::vector<std::int16_t> back(1000 + (60000 - 45158) / 2);
    stream.read(back.data(), static_cast<std::int32_t>(back.size() * 2));
    EXPECT_EQ(back.back(), frames[999]);
}

TEST(CaptureServiceTest, ARecorderSubscriptionAndTheStreamShareOneInput) {
    CaptureService service;
    ManualInvoker invoker;
    TSoundCaptureStream stream(service, invoker, [](const std::exception&) {});
    stream.setCaptureFormat(18);
    stream.start();
    auto recorder = service.subscribe(44100);
    std::vector<std::int16_t> frames(4410, 100);
    service.hub().deliver(frames.data(), frames.size());
    EXPECT_EQ(stream.filledSize(), 8820);
    EXPECT_EQ(readAll(*recorder), frames);
}

TEST(FramePacerTest, DeliversTheSamplesAtTheCaptureRateThenSilence) {
    CaptureHub hub;
    auto out = hub.subscribe(1 << 17);
    FramePacer pacer(hub, std::vector<std::int16_t>(500, 7));
    pacer.deliverDue(10ms);
    EXPECT_EQ(readAll(*out), std::vector<std::int16_t>(441, 7));
    pacer.deliverDue(10ms); // nothing new is due
    EXPECT_EQ(out->available(), 0u);
    pacer.deliverDue(20ms);
    auto next = readAll(*out);
    ASSERT_EQ(next.size(), 441u);
    EXPECT_EQ(next[58], 7);
    EXPECT_EQ(next[59], 0);
    pacer.deliverDue(1s);
    EXPECT_EQ(pacer.position(), 44100u);
}

// A stall is counted in full, so that listeners counting frames keep time; only of a stall of
// more than a minute is the time before the last minute dropped.
TEST(FramePacerTest, AfterALongStallTheTimeIsStillCounted) {
    for (const auto& [stall, counted] : {std::pair{5s, 5u}, std::pair{90s, 60u}}) {
        CaptureHub hub;
        auto out = hub.subscribe(1 << 22);
        FramePacer pacer(hub, {});
        pacer.deliverDue(stall);
        EXPECT_EQ(out->available(), counted * 44100u) << stall.count() << " s";
        EXPECT_EQ(pacer.position(), static_cast<std::uint64_t>(stall.count()) * 44100u);
    }
}

// A recording standing in for the microphone follows the session: each change takes effect at
// the frame due when it is made, never earlier, and skipped frames keep the recording in step.
TEST(FramePacerTest, TheRecordingStartsPausesResumesAndFallsSilentOnItsFrames) {
    using Change = FramePacer::Change;
    CaptureHub hub;
    auto out = hub.subscribe(1 << 18);
    std::vector<std::int16_t> ramp(3000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::int16_t>(i + 1);
    FramePacer pacer(hub, ramp, false);
    pacer.deliverDue(10ms);                  // frames 0 … 440: silent until started
    pacer.schedule(Change::StartOver, 12ms); // frame 529
    pacer.schedule(Change::Pause, 20ms);     // frame 882
    pacer.schedule(Change::Resume, 30ms);    // frame 1323
    pacer.schedule(Change::StartOver, 40ms); // frame 1764
    pacer.schedule(Change::Silence, 50ms);   // frame 2205
    pacer.schedule(Change::Resume, 55ms);    // nothing to resume after silence
    pacer.deliverDue(60ms);
    const auto frames = readAll(*out);
    ASSERT_EQ(frames.size(), 2646u);
    const auto expected = [](std::size_t frame) -> std::int16_t {
        if (frame < 529 || frame >= 2205)
            return 0;
        if (frame < 882)
            return static_cast<std::int16_t>(frame - 529 + 1);
        if (frame < 1323)
            return 0;
        if (frame < 1764)
            return static_cast<std::int16_t>(882 - 529 + frame - 1323 + 1);
        return static_cast<std::int16_t>(frame - 1764 + 1);
    };
    for (std::size_t f = 0; f < frames.size(); ++f)
        ASSERT_EQ(frames[f], expected(f)) << "frame " << f;

    // A stall delivers only the last second's samples, the time before them as silence in its
    // place (a listener counting frames stays in step); the recording moves on as if heard.
    std::vector<std::int16_t> numbered(5 * 44100);
    for (std::size_t i = 0; i < numbered.size(); ++i)
        numbered[i] = static_cast<std::int16_t>(i / 44100 + 1);
    FramePacer seconds(hub, numbered, true);
    seconds.deliverDue(3s);
    const auto last = readAll(*out);
    ASSERT_EQ(last.size(), 3u * 44100);
    EXPECT_EQ(std::count(last.begin(), last.begin() + 2 * 44100, 0), 2 * 44100);
    EXPECT_EQ(last[2 * 44100], 3);
    EXPECT_EQ(seconds.position(), 3u * 44100);
}

TEST(WavFileInputTest, Converts22050HzStereoTo44100HzMono) {
    const Bytes file = stereoSine(22050, 441, 0.5, 0.5, 1);
    const auto frames = convertWavForCapture(file.data(), file.size());
    EXPECT_NEAR(static_cast<double>(frames.size()), 22050, 50);
    int crossings = 0;
    int peak = 0;
    for (std::size_t i = 2000; i < 2000 + 11025; ++i) {
        crossings += frames[i - 1] < 0 && frames[i] >= 0;
        peak = std::max(peak, std::abs(static_cast<int>(frames[i])));
    }
    EXPECT_NEAR(crossings, 110, 1); // 441 Hz over a quarter second
    EXPECT_NEAR(peak, 16384, 400);

    // Opposite channels cancel: the mix is the average, not one side.
    const Bytes opposite = stereoSine(22050, 441, 0.5, 0.5, -1);
    for (const std::int16_t s : convertWavForCapture(opposite.data(), opposite.size()))
        ASSERT_LE(std::abs(s), 1);
}

class TempFile {
public:
    explicit TempFile(const Bytes& bytes)
        : m_path(std::filesystem::temp_directory_path() /
                 ("cantorix_capture_" + std::to_string(::getpid()) + ".wav")) {
        std::ofstream(m_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    ~TempFile() { std::filesystem::remove(m_path); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Real time: the input's own thread paces the file, silent until a session starts it over;
// the bounds leave room for a busy machine.
TEST(WavFileInputTest, PlaysTheFileAtRealTimePaceFromStartOverThenSilence) {
    TempFile file(stereoSine(22050, 441, 0.1, 0.5, 1));
    CaptureHub hub;
    auto out = hub.subscribe(1 << 18);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::int16_t> before;
    {
        WavFileInput input(hub, file.path());
        std::this_thread::sleep_for(100ms);
        before = readAll(*out);
        input.startOver();
        std::this_thread::sleep_for(300ms);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(before.size(), 441u * 5);
    EXPECT_EQ(std::count(before.begin(), before.end(), 0), static_cast<long>(before.size()));
    auto frames = readAll(*out);
    // What was due before startOver() but not yet delivered stays silent.
    const auto first =
        std::find_if(frames.begin(), frames.end(), [](std::int16_t s) { return s != 0; });
    ASSERT_LT(first - frames.begin(), 441 * 3);
    frames.erase(frames.begin(), first);
    EXPECT_GE(frames.size(), 44100 * 0.2);
    EXPECT_LE(static_cast<double>(frames.size() + before.size()), 44100 * seconds + 441);
    ASSERT_GT(frames.size(), 4410u + 100);
    EXPECT_EQ(*std::max_element(frames.begin() + 4410 + 100, frames.end()), 0);
}

TEST(WavFileInputTest, AnUnusableFileIsNamedInTheError) {
    TempFile file(Bytes(64, 'x'));
    CaptureHub hub;
    try {
        WavFileInput input(hub, file.path());
        FAIL() << "no error";
    } catch (const EWavError& e) {
        EXPECT_NE(std::string(e.what()).find(file.path().string()), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("no RIFF/WAVE header"), std::string::npos);
    }
}

TEST(SilentInputTest, DeliversSilenceAtRealTimePace) {
    CaptureHub hub;
    auto out = hub.subscribe(1 << 16);
    {
        SilentInput input(hub);
        std::this_thread::sleep_for(100ms);
    }
    const auto frames = readAll(*out);
    EXPECT_GE(frames.size(), 441u * 5);
    EXPECT_LE(frames.size(), 44100u);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), 0), static_cast<long>(frames.size()));
}

TEST(CaptureFactoryTest, AFailedChoiceReportsItsErrorAndFallsBackToSilence) {
    const auto missing = openCapture(std::filesystem::path("/nonexistent/voice.wav"));
    ASSERT_NE(missing.service, nullptr);
    EXPECT_EQ(missing.error, "Cannot open the microphone file \"/nonexistent/voice.wav\"");
    EXPECT_EQ(missing.service->describe(), "silence");

    // With or without a microphone the program gets a working capture; without one the error
    // is the one the player sees.
    const auto microphone = openCapture(std::nullopt);
    ASSERT_NE(microphone.service, nullptr);
    if (!microphone.error.empty()) {
        EXPECT_TRUE(microphone.error ==
                        "No microphone could be opened; singing will not be scored." ||
                    microphone.error == "The sound system could not be started, so no microphone "
                                        "can be used; singing will not be scored.")
            << microphone.error;
        EXPECT_EQ(microphone.service->describe(), "silence");
    }
}

// The whole chain on real threads: silent input, hub, ring, notification thread, and a
// "main thread" that runs the posted steps until the handler has seen bytes.
TEST(CaptureServiceTest, NotificationsArriveOnTheMainThreadFromALiveInput) {
    auto service = openSilentCapture();
    ManualInvoker invoker;
    struct Sink {
        int calls = 0;
        std::int32_t bytes = 0;
        void onFilled(TSoundCaptureStream& s) {
            ++calls;
            std::vector<std::uint8_t> buffer(static_cast<std::size_t>(s.filledSize()));
            bytes += s.read(buffer.data(), static_cast<std::int32_t>(buffer.size()));
        }
    } sink;
    TSoundCaptureStream stream(*service, invoker, [](const std::exception&) {});
    stream.setCaptureFormat(18);
    stream.setBufferLength(512);
    stream.setOnFilledBuffer(TFilledBufferEvent::of<&Sink::onFilled>(sink));
    stream.start();
    for (int i = 0; i < 200 && sink.calls < 3; ++i)
        invoker.runNext(1s);
    stream.stop();
    EXPECT_GE(sink.calls, 3);
    EXPECT_GT(sink.bytes, 0);
    EXPECT_EQ(sink.bytes % 2, 0);
    invoker.runPending();
}

} // namespace
