// The placing rules of a phone's timeline, with every time made up: frames are placed as they
// arrive and the samples due are collected, as the pacing thread hands them to the hub.

#include "phones/phone_timeline.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace cantorix::phones;
using std::chrono::microseconds;

namespace {

constexpr std::size_t kFrame = 441; // 10 ms

struct Frame {
    double stampMs;
    double arrivesMs;
};

// Frame f's sample i is (f + 1) × 1000 + i, so a sample out of place shows which it is.
std::vector<std::int16_t> samplesOf(std::size_t frame) {
    std::vector<std::int16_t> samples(kFrame);
    for (std::size_t i = 0; i < kFrame; ++i)
        samples[i] = static_cast<std::int16_t>((frame + 1) * 1000 + i);
    return samples;
}

PhoneTimeline::Duration at(double ms) {
    return microseconds{std::llround(ms * 1000)};
}

void drain(PhoneTimeline& timeline, double nowMs, std::vector<std::int16_t>& out) {
    for (auto due = timeline.due(at(nowMs)); !due.empty(); due = timeline.due(at(nowMs))) {
        out.insert(out.end(), due.begin(), due.end());
        timeline.consume(due.size());
    }
}

} // namespace

// Each line: frames of 10 ms, the stream handed out once all arrived (at endMs), as runs of
// {count, frame, first sample of the frame} (frame −1: silence), samples late, frames refused.
TEST(PhoneTimelineTest, PlacesFramesByTheirTime) {
    struct Run {
        std::size_t count;
        int frame;
        std::int16_t offset;
    };
    struct Case {
        const char* rule;
        std::vector<Frame> frames;
        double endMs;
        std::vector<Run> runs;
        std::size_t late;
        std::size_t refused;
    };
    const std::vector<Case> cases = {
        {"contiguous, handed out at once",
         {{0, 10}, {10, 20}, {20, 30}},
         30,
         {{441, 0, 0}, {441, 1, 0}, {441, 2, 0}},
         0,
         0},
        {"within 2 ms continues exactly",
         {{0, 10}, {11.9, 22}, {20, 30}},
         30,
         {{441, 0, 0}, {441, 1, 0}, {441, 2, 0}},
         0,
         0},
        {"a gap is silence of its length",
         {{0, 10}, {30, 40}},
         200,
         {{441, 0, 0}, {882, -1, 0}, {441, 1, 0}, {441, -1, 0}},
         0,
         0},
        {"overlap with what was handed out is dropped",
         {{0, 10}, {5, 20}},
         20,
         {{441, 0, 0}, {220, 1, 221}},
         221,
         0},
        {"overlap with waiting samples replaces them",
         {{20, 21}, {25, 30}},
         200,
         {{882, -1, 0}, {220, 0, 0}, {441, 1, 0}, {662, -1, 0}},
         0,
         0},
        {"late: the stretch given up is dropped, the rest kept in place",
         {{0, 10}, {145, 300}},
         300,
         {{441, 0, 0}, {6174, -1, 0}, {220, 1, 221}},
         221,
         0},
        {"more than a second ahead is refused",
         {{1100.1, 100}, {1100, 100}},
         1310,
         {{48510, -1, 0}, {441, 1, 0}, {2205, -1, 0}},
         0,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        PhoneTimeline timeline(PlacingRules{});
        std::vector<std::int16_t> out;
        std::size_t late = 0;
        std::size_t refused = 0;
        for (std::size_t f = 0; f < c.frames.size(); ++f) {
            drain(timeline, c.frames[f].arrivesMs, out);
            const auto placement =
                timeline.place(at(c.frames[f].stampMs), samplesOf(f), at(c.frames[f].arrivesMs));
            late += placement.late;
            refused += placement.refused ? 1 : 0;
        }
        drain(timeline, c.endMs, out);
        std::vector<std::int16_t> expected;
        for (const Run& run : c.runs)
            for (std::size_t i = 0; i < run.count; ++i)
                expected.push_back(run.frame < 0 ? 0 : samplesOf(run.frame)[run.offset + i]);
        EXPECT_EQ(out, expected);
        EXPECT_EQ(late, c.late);
        EXPECT_EQ(refused, c.refused);
    }
}

// Each line: the session's calls at their times, then the frames a mark counts once the
// timeline has handed out everything up to 250 ms (11025 samples).
TEST(PhoneTimelineTest, CountsTheSessionsFramesLessThePauses) {
    enum Call { StartOver, Pause, Resume, Silence };
    struct Case {
        std::vector<std::pair<Call, double>> calls;
        std::optional<std::int64_t> frames;
    };
    const std::vector<Case> cases = {
        {{}, std::nullopt},
        {{{StartOver, 100}}, 11025 - 4410},
        {{{StartOver, 100}, {Pause, 200}, {Resume, 300}}, 11025 - 8820},
        {{{StartOver, 100}, {Resume, 150}, {Pause, 200}, {Pause, 250}, {Resume, 300}},
         11025 - 8820},
        {{{StartOver, 100}, {Pause, 200}}, std::nullopt},
        {{{StartOver, 100}, {Silence, 150}}, std::nullopt},
        {{{StartOver, 0}, {Pause, 50}, {Resume, 150}, {StartOver, 200}}, 11025 - 8820},
        {{{StartOver, 100}, {Silence, 150}, {Resume, 160}}, std::nullopt},
    };
    for (std::size_t n = 0; n < cases.size(); ++n) {
        SCOPED_TRACE(n);
        PhoneTimeline timeline(PlacingRules{});
        for (const auto& [call, ms] : cases[n].calls) {
            if (call == StartOver)
                timeline.startOver(at(ms));
            else if (call == Pause)
                timeline.pause(at(ms));
            else if (call == Resume)
                timeline.resume(at(ms));
            else
                timeline.silence();
        }
        std::vector<std::int16_t> out;
        drain(timeline, 400, out);
        ASSERT_EQ(timeline.handedOut(), 11025);
        EXPECT_EQ(timeline.sessionFrames(), cases[n].frames);
    }
}

// A phone whose clock mapping jitters by up to 0.8 ms and whose sample clock drifts by up to
// 300 ppm, sending frames of 5 to 25 ms of which some are lost, arriving up to 100 ms late: no
// sample lands more than the snap and the jitter from where it was captured, and of what arrived
// only overlaps are lost: nothing that came in time is dropped as late.
TEST(PhoneTimelineTest, KeepsEverySampleNearItsCaptureTime) {
    std::mt19937 random(7);
    for (int run = 0; run < 40; ++run) {
        SCOPED_TRACE(run);
        std::uniform_real_distribution<double> drift(-300e-6, 300e-6);
        std::uniform_real_distribution<double> jitter(-0.8, 0.8);
        std::uniform_real_distribution<double> delay(0, 100);
        std::uniform_int_distribution<std::size_t> length(220, 1102);
        std::bernoulli_distribution lost(0.1);
        const double rate = 44.1 * (1 + drift(random)); // samples per ms of the game's clock
        PhoneTimeline timeline(PlacingRules{});
        std::vector<std::int16_t> out;
        std::size_t received = 0;
        std::size_t ownTime = 0;
        std::int64_t captured = 0;
        double arrived = 0;
        while (captured < 3 * 44100) {
            const std::size_t count = length(random);
            std::vector<std::int16_t> samples(count);
            for (std::size_t i = 0; i < count; ++i) // the capture's own count, never zero
                samples[i] = static_cast<std::int16_t>((captured + i) % 30000 + 1);
            const double trueMs = static_cast<double>(captured) / rate;
            captured += static_cast<std::int64_t>(count);
            arrived = std::max(arrived, static_cast<double>(captured) / rate + delay(random));
            drain(timeline, arrived, out);
            if (lost(random))
                continue;
            const auto placement =
                timeline.place(at(trueMs + jitter(random)), samples, at(arrived));
            received += count;
            ownTime += placement.continued ? 0 : 1;
        }
        drain(timeline, arrived + 1000, out);
        std::size_t heard = 0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (out[i] == 0)
                continue;
            ++heard;
            // The capture index of this value nearest to where the sample landed.
            const double landedAt = static_cast<double>(i) * rate / 44.1;
            const std::int64_t value = out[i] - 1;
            const std::int64_t index =
                value + 30000 * std::llround((landedAt - static_cast<double>(value)) / 30000);
            const double offMs = static_cast<double>(i) / 44.1 - static_cast<double>(index) / rate;
            ASSERT_LE(std::abs(offMs), 2.0 + 0.8 + 0.05) << "sample " << i;
        }
        // Only where a frame went by its own time may it cover up to 1.6 ms of the one before.
        EXPECT_GE(heard + 71 * ownTime, received);
    }
}
