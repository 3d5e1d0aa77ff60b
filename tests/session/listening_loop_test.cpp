#include "base/main_thread_invoker_port.h"
#include "session/listening_loop.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace cantorix::session {
namespace {

// A capture ring the test fills with samples as its made-up time passes. Sample i has the value
// i modulo 30000, so a reading tells which sample ended the window it was taken over.
class SampleRing : public pitch::CaptureRing {
public:
    explicit SampleRing(std::int32_t size) : m_bytes(static_cast<std::size_t>(size)) {}

    void add(std::int64_t samples) {
        for (std::int64_t i = 0; i < samples; ++i, ++m_next) {
            const auto value = static_cast<std::uint16_t>(m_next % 30000);
            put(static_cast<std::uint8_t>(value & 0xff));
            put(static_cast<std::uint8_t>(value >> 8));
        }
    }
    bool currentPosition(std::int32_t& capture, std::int32_t& read) override {
        capture = read = m_write;
        return true;
    }
    bool lock(std::int32_t offset, std::int32_t length, pitch::RingRegions& regions) override {
        const auto size = static_cast<std::int32_t>(m_bytes.size());
        const std::int32_t first = std::min(length, size - offset);
        regions = {m_bytes.data() + offset, first, m_bytes.data(), length - first};
        return true;
    }
    void unlock(const pitch::RingRegions&) override {}
    void start() override {}
    void stop() override {}
    std::int64_t bytesWritten() override { return m_written; }

private:
    void put(std::uint8_t byte) {
        m_bytes[static_cast<std::size_t>(m_write)] = byte;
        m_write = (m_write + 1) % static_cast<std::int32_t>(m_bytes.size());
        ++m_written;
    }
    std::vector<std::uint8_t> m_bytes;
    std::int32_t m_write = 0;
    std::int64_t m_written = 0;
    std::int64_t m_next = 0;
};

class SampleDevice : public pitch::CaptureDevice {
public:
    std::unique_ptr<pitch::CaptureRing> createRing(const base::TWaveFormat& format,
                                                   std::int32_t bytes) override {
        if (format.bitsPerSample > 16)
            return nullptr;
        auto ring = std::make_unique<SampleRing>(bytes);
        latest = ring.get();
        return ring;
    }
    SampleRing* latest = nullptr;
};

// Reads the last sample of its window as the note, so the test sees where each window ended.
class LastSampleTracker : public pitch::SemitoneTracker {
public:
    pitch::SemitoneReading analyse(std::span<const std::int16_t> newest) override {
        return {true, static_cast<double>(newest.back())};
    }
    std::size_t windowSamples() const override { return 2048; }
};

class RecordingJudge : public TickJudge {
public:
    TickJudgement judge(const SungTick& tick) const override {
        asked.push_back(tick);
        return {true, 1, 1, -1};
    }
    mutable std::vector<SungTick> asked;
};

class InlineInvoker : public base::MainThreadInvoker {
public:
    void post(std::function<void()> task) override { task(); }
};

// A recording that started over when the capture held `startSample` samples.
class Recording : public SessionInputControl {
public:
    void startOver() override {}
    void pause() override {}
    void resume() override {}
    void silence() override {}
    std::optional<RecordingMark> mark(const std::function<std::int64_t()>& capturedNow) override {
        const std::int64_t captured = capturedNow();
        return RecordingMark{captured, captured - startSample};
    }
    std::int64_t startSample = 0;
};

constexpr double kHalfWindowMs = 1024 * 1000.0 / 44100;

struct LoopRig {
    SampleDevice device;
    InlineInvoker invoker;
    LastSampleTracker tracker;
    RecordingJudge judge;
    ListeningLoop loop{{device, invoker, &tracker, false}};
    std::int64_t fed = 0; // samples delivered so far

    LoopRig() { loop.startCapture(); }
    // The capture receives everything due by ms since the capture started, in 10 ms bursts.
    void feedUntil(std::int64_t ms) {
        const std::int64_t due = ms / 10 * 441;
        device.latest->add(due - fed);
        fed = due;
    }
};

// The window that ends k × 50 ms after the start is judged at its own song time over its own
// samples, whatever the schedule of the ticks that read it; a stall longer than the ring holds
// loses windows as missed, never as windows read elsewhere.
TEST(ListeningLoopTest, EachWindowIsJudgedAtItsOwnTimeWhateverTheTickSchedule) {
    for (const int longestGapMs : {50, 700, 2400, 6000}) {
        std::mt19937 random(static_cast<unsigned>(longestGapMs));
        LoopRig rig;
        rig.feedUntil(1000); // the menus heard a second first
        const std::int64_t startSample = rig.fed;
        rig.loop.startSession(&rig.judge, 4000);
        std::int64_t ms = 1000;
        while (ms < 31000) {
            ms += std::uniform_int_distribution<int>(1, longestGapMs)(random);
            rig.feedUntil(std::min<std::int64_t>(ms, 31000));
            rig.loop.tick(false, std::nullopt);
        }
        rig.loop.endSession(4000 + 30000);
        const WindowCounts& counts = rig.loop.windows();
        EXPECT_EQ(counts.judged + counts.missed, 600) << "longest gap " << longestGapMs;
        EXPECT_EQ(counts.judged, static_cast<std::int64_t>(rig.judge.asked.size()));
        if (longestGapMs <= 2400)
            EXPECT_EQ(counts.missed, 0) << "longest gap " << longestGapMs;
        else
            EXPECT_GT(counts.missed, 0);
        double lastMs = 0;
        for (const SungTick& tick : rig.judge.asked) {
            const double k = std::round((tick.songMs + kHalfWindowMs - 4000) / 50);
            ASSERT_NEAR(tick.songMs, 4000 + 50 * k - kHalfWindowMs, 1e-6);
            const std::int64_t endSample = startSample + static_cast<std::int64_t>(k) * 2205;
            ASSERT_EQ(tick.semitone.midiNote, static_cast<double>((endSample - 1) % 30000))
                << "window " << k << ", longest gap " << longestGapMs;
            ASSERT_GT(tick.songMs, lastMs);
            lastMs = tick.songMs;
        }
    }
}

TEST(ListeningLoopTest, PlacesSamplesByTheRecordingAndAgainAfterAPause) {
    LoopRig rig;
    Recording recording;
    rig.feedUntil(500);
    rig.loop.startSession(&rig.judge, 0, &recording);
    recording.startSample = rig.fed + 100; // the recording began a little after the session
    rig.feedUntil(520);
    rig.loop.tick(false, std::nullopt);
    rig.feedUntil(700);
    rig.loop.tick(false, std::nullopt);
    ASSERT_EQ(rig.judge.asked.size(), 3u);
    EXPECT_EQ(rig.judge.asked[0].semitone.midiNote, (recording.startSample + 2205 - 1) % 30000);

    // A live input paused at 150 ms of song and resumed 2 s later continues the grid from
    // where the song stands, over the samples captured after the resume.
    LoopRig live;
    live.loop.startSession(&live.judge, 0);
    live.feedUntil(150);
    live.loop.tick(false, std::nullopt);
    live.loop.pause(150);
    live.feedUntil(2150);
    live.loop.tick(false, std::nullopt);
    const std::size_t beforeResume = live.judge.asked.size();
    EXPECT_EQ(beforeResume, 3u);
    live.loop.resume(150);
    const std::int64_t resumedAt = live.fed;
    live.feedUntil(2300);
    live.loop.tick(false, std::nullopt);
    ASSERT_GT(live.judge.asked.size(), beforeResume);
    const SungTick& first = live.judge.asked[beforeResume];
    EXPECT_NEAR(first.songMs, 200 - kHalfWindowMs, 1e-6);
    EXPECT_EQ(first.semitone.midiNote, (resumedAt + 2205 - 1) % 30000);
}

// A pause judges every window complete when it comes, as a late tick would, and resuming takes
// up at the next window; a window whose samples had not come by the pause is missed, never
// skipped unsaid.
TEST(ListeningLoopTest, APauseJudgesTheWindowsCompleteBeforeItAndMissesOnlyTheLost) {
    struct Case {
        std::int64_t capturedByPauseMs;
        std::int64_t judged, missed;
    };
    for (const Case c : {Case{160, 8, 0}, Case{140, 7, 1}}) {
        LoopRig rig;
        rig.loop.startSession(&rig.judge, 0);
        rig.feedUntil(140);
        rig.loop.tick(false, std::nullopt);
        rig.feedUntil(c.capturedByPauseMs);
        rig.loop.pause(160);
        rig.feedUntil(1160); // the capture runs on while the song holds
        rig.loop.tick(false, std::nullopt);
        rig.loop.resume(160);
        const std::int64_t resumedAt = rig.fed;
        for (std::int64_t ms = 1200; ms <= 1400; ms += 50) {
            rig.feedUntil(ms);
            rig.loop.tick(false, std::nullopt);
        }
        rig.loop.endSession(400);
        const WindowCounts& counts = rig.loop.windows();
        EXPECT_EQ(std::pair(counts.judged, counts.missed), std::pair(c.judged, c.missed))
            << "captured by the pause: " << c.capturedByPauseMs << " ms";
        ASSERT_EQ(rig.judge.asked.size(), static_cast<std::size_t>(c.judged));
        // The first window after the resume ends 40 ms of samples after it.
        const SungTick& afterResume = rig.judge.asked[rig.judge.asked.size() - 5];
        EXPECT_NEAR(afterResume.songMs, 200 - kHalfWindowMs, 1e-6);
        EXPECT_EQ(afterResume.semitone.midiNote, (resumedAt + 1764 - 1) % 30000);
    }
}

// The game's own rule stays on the live tick: the value the previous tick heard against the
// target due now, from the first tick of a session on (it carries the menus' value), and not
// before the song lets judging begin.
TEST(ListeningLoopTest, TheGameRuleJudgesTheHeldValueOnTheLiveTick) {
    LoopRig rig;
    rig.loop.startSession(nullptr, 0);
    rig.loop.tick(true, std::uint8_t{30});
    EXPECT_EQ(rig.loop.scoring().targetPitch(), 30);
    EXPECT_EQ(rig.loop.scoring().notePoints(), 0); // silence (255) is not 30
    rig.loop.tick(false, std::uint8_t{40});
    rig.loop.tick(true, std::nullopt);
    EXPECT_EQ(rig.loop.scoring().targetPitch(), 30);
    rig.loop.tick(true, pitch::kSilenceSungValue);
    EXPECT_EQ(rig.loop.scoring().notePoints(), 1);
    EXPECT_TRUE(rig.judge.asked.empty());
}

} // namespace
} // namespace cantorix::session
