#include "platform/sound_input/capture_mix.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace cantorix::platform;

namespace {

// Whatever one to eight inputs deliver at full scale, each mixed frame lies between the
// smallest and the largest sample of its inputs (no wrap, no clip), and one input passes as it
// came, so a single singer's recording is the same as before mixing existed.
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
            const auto [low, high] =
                std::minmax_element(delivered.begin(), delivered.end(),
                                    [f](const auto& a, const auto& b) { return a[f] < b[f]; });
            ASSERT_GE(out[f], (*low)[f]) << inputs << " inputs, frame " << f;
            ASSERT_LE(out[f], (*high)[f]) << inputs << " inputs, frame " << f;
            if (inputs == 1) {
                ASSERT_EQ(out[f], delivered[0][f]);
            }
        }
    }
}

TEST(CaptureMixTest, WaitsForTheSlowerInputButNotForADeadOneAndNoInputIsSilence) {
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
    // The slow input stops delivering: once the fast one is more than the allowed lag ahead,
    // its frames go on alone, at half level.
    out.clear();
    const std::vector<std::int16_t> more(CaptureMix::kMaxLagFrames + 500, 20000);
    fast.deliver(more.data(), more.size());
    mix.take(out);
    ASSERT_EQ(out.size(), 1100u); // 600 frames waiting from before, plus 500
    EXPECT_EQ(out.back(), 10000);

    double now = 100.0;
    CaptureMix silence({}, [&] { return now; });
    out.assign(1, 0);
    silence.take(out);
    now += 0.75;
    silence.take(out);
    EXPECT_EQ(out, std::vector<std::int16_t>(1 + 33075, 0));
}

} // namespace

namespace {

// Two inputs with a click at 1.500 s; input B delivers nothing for 400 ms before it and then all
// it held at once. Both clicks land at 1.500 s in the mix, however the mix was read meanwhile:
// a stall longer than the allowed lag costs B the frames the mix had to hand out without it,
// never its place.
TEST(CaptureMixTest, AStalledInputKeepsItsPlaceAndLosesOnlyWhatTheMixHadPassed) {
    constexpr std::size_t kRate = CaptureHub::kSampleRate;
    constexpr std::size_t kClickAt = kRate * 3 / 2;
    constexpr std::size_t kLength = kRate * 2;
    constexpr std::size_t kBurst = kRate / 100; // devices deliver every 10 ms
    std::vector<std::int16_t> a(kLength, 0), b(kLength, 0);
    a[kClickAt] = 16000;
    b[kClickAt] = 16000;
    CaptureHub hubA, hubB;
    CaptureMix mix({&hubA, &hubB});
    std::vector<std::int16_t> out;
    const std::size_t stallFrom = kClickAt - kRate * 4 / 10;
    std::size_t deliveredB = 0;
    for (std::size_t at = 0; at < kLength; at += kBurst) {
        hubA.deliver(a.data() + at, kBurst);
        // B holds back from the stall on and catches up, all at once, 400 ms later.
        if (at + kBurst <= stallFrom || at + kBurst > kClickAt) {
            hubB.deliver(b.data() + deliveredB, at + kBurst - deliveredB);
            deliveredB = at + kBurst;
        }
        mix.take(out);
    }
    ASSERT_EQ(out.size(), kLength);
    std::vector<std::size_t> clicks;
    for (std::size_t f = 0; f < out.size(); ++f)
        if (out[f] != 0)
            clicks.push_back(f);
    // One frame: both halves of the two clicks sum to it.
    EXPECT_EQ(clicks, std::vector<std::size_t>{kClickAt});
    EXPECT_EQ(out[kClickAt], 16000);
}

} // namespace
