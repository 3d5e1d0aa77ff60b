#include "fakes/fake_sound_inputs.h"
#include "platform/sound_input/capture_mix.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <random>

using namespace cantorix;
using namespace cantorix::platform;
using namespace std::chrono_literals;

namespace {

// Whatever one to eight inputs deliver at full scale, each mixed frame lies between the
// smallest and the largest sample of its inputs (no wrap, no clip), and one input passes as it
// came.
TEST(CaptureMixTest, EveryMixedFrameLiesWithinItsInputsAndOneInputPassesUnchanged) {
    std::mt19937 random(21);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    for (std::size_t inputs = 1; inputs <= 8; ++inputs) {
        std::vector<std::unique_ptr<CaptureHub>> hubs;
        std::vector<CaptureHub*> chosen;
        for (std::size_t i = 0; i < inputs; ++i)
            chosen.push_back(hubs.emplace_back(std::make_unique<CaptureHub>()).get());
        CaptureMix mix(chosen);
        std::vector<std::vector<std::int16_t>> delivered(inputs, std::vector<std::int16_t>(4000));
        for (std::size_t i = 0; i < inputs; ++i) {
            // Most inputs at one extreme or the other, a few anywhere between.
            for (auto& s : delivered[i]) {
                const int any = sample(random);
                s = static_cast<std::int16_t>(i % 3 == 2 ? any : any < 0 ? -32768 : 32767);
            }
            hubs[i]->deliver(delivered[i].data(), delivered[i].size());
        }
        std::vector<std::int16_t> out;
        mix.take(out);
        ASSERT_EQ(out.size(), 4000u) << inputs << " inputs";
        for (std::size_t f = 0; f < out.size(); ++f) {
            std::int16_t low = 32767;
            std::int16_t high = -32768;
            for (const auto& d : delivered) {
                low = std::min(low, d[f]);
                high = std::max(high, d[f]);
            }
            ASSERT_GE(out[f], low) << inputs << " inputs, frame " << f;
            ASSERT_LE(out[f], high) << inputs << " inputs, frame " << f;
            if (inputs == 1) {
                ASSERT_EQ(out[f], delivered[0][f]);
            }
        }
    }
}

TEST(CaptureMixTest, WaitsForTheSlowerInputButNotForADeadOne) {
    CaptureHub fast;
    CaptureHub slow;
    CaptureMix mix({&fast, &slow});
    const std::vector<std::int16_t> loud(1000, 20000);
    const std::vector<std::int16_t> quiet(400, 2000);
    fast.deliver(loud.data(), loud.size());
    slow.deliver(quiet.data(), quiet.size());
    std::vector<std::int16_t> out;
    mix.take(out);
    ASSERT_EQ(out.size(), 400u);
    EXPECT_EQ(out.front(), 11000);
    slow.deliver(quiet.data(), quiet.size());
    mix.take(out);
    EXPECT_EQ(out.size(), 800u);

    // The slow input stops delivering: the fast one's frames go on alone, at half level,
    // once they are more than the allowed lag ahead.
    out.clear();
    const std::vector<std::int16_t> more(CaptureMix::kMaxLagFrames + 500, 20000);
    fast.deliver(more.data(), more.size());
    mix.take(out);
    ASSERT_EQ(out.size(), 700u); // 200 frames waiting from before, plus 500
    EXPECT_EQ(out.back(), 10000);
}

TEST(CaptureMixTest, NoInputIsSilenceAtRealTimePace) {
    double now = 100.0;
    CaptureMix mix({}, [&] { return now; });
    std::vector<std::int16_t> out;
    mix.take(out);
    EXPECT_TRUE(out.empty());
    now += 0.5;
    mix.take(out);
    now += 0.25;
    mix.take(out);
    EXPECT_EQ(out.size(), 33075u);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t s) { return s == 0; }));
}

class Buffers : public audio::WaveInListener {
public:
    void waveInOpened() override {}
    void waveInData(std::unique_ptr<audio::WaveInBuffer> buffer) override {
        std::lock_guard lock(m_mutex);
        full.push_back(std::move(buffer));
        m_changed.notify_all();
    }
    void waveInClosed() override {}
    bool waitFor(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return full.size() >= count; });
    }
    std::vector<std::unique_ptr<audio::WaveInBuffer>> full;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

// The recorder of the inputs' port records the chosen inputs mixed, and only those.
TEST(CaptureMixTest, TheRecorderMixesTheChosenInputsOnly) {
    app::testing::FakeSoundInputs inputs;
    const session::InputAddress left{"USB", 0};
    const session::InputAddress right{"USB", 1};
    const session::InputAddress other{"PCH", 0};
    CaptureHub& leftHub = inputs.plugIn(left, "USB Receiver — left");
    CaptureHub& rightHub = inputs.plugIn(right, "USB Receiver — right");
    CaptureHub& otherHub = inputs.plugIn(other, "Built-in Audio");
    inputs.chooseRecorded({left, right});
    Buffers buffers;
    const auto format = base::makePcmFormat(44100, 16, 1);
    ASSERT_EQ(inputs.recorder().open(format, buffers), audio::kWaveInOk);
    auto buffer = std::make_unique<audio::WaveInBuffer>();
    buffer->data.resize(2000);
    inputs.recorder().addBuffer(std::move(buffer));
    inputs.recorder().start();
    const std::vector<std::int16_t> high(1000, 32767);
    const std::vector<std::int16_t> low(1000, -30000);
    leftHub.deliver(high.data(), high.size());
    otherHub.deliver(low.data(), low.size());
    rightHub.deliver(high.data(), high.size());
    ASSERT_TRUE(buffers.waitFor(1));
    const auto& bytes = buffers.full[0]->data;
    EXPECT_EQ(static_cast<std::int16_t>(bytes[1998] | bytes[1999] << 8), 32767);
    inputs.recorder().close();
}

} // namespace
