// The placing rules of a phone's timeline, with every time made up: frames are placed as they
// arrive and the samples due are collected, as the pacing thread hands them to the hub.

#include "phones/phone_timeline.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

using namespace cantorix::phones;

namespace {

// Frame f's sample i is (f + 1) × 1000 + i, so a sample out of place shows which it is.
std::int16_t sampleOf(int frame, std::size_t i) {
    return frame < 0 ? 0 : static_cast<std::int16_t>((frame + 1) * 1000 + i);
}

PhoneTimeline::Duration at(double ms) {
    return std::chrono::microseconds{std::llround(ms * 1000)};
}

void drain(PhoneTimeline& timeline, double nowMs, std::vector<std::int16_t>& out) {
    for (auto due = timeline.due(at(nowMs)); !due.empty(); due = timeline.due(at(nowMs))) {
        out.insert(out.end(), due.begin(), due.end());
        timeline.consume(due.size());
    }
}

} // namespace

// Each line: frames of 10 ms as "stamp@arrival" (ms), the time all is handed out by, the stream
// handed out as runs "count:frame+first sample" ('-': silence), samples late, frames refused.
TEST(PhoneTimelineTest, PlacesFramesByTheirTime) {
    struct Case {
        const char* rule;
        const char* frames;
        double endMs;
        const char* runs;
        std::size_t late, refused;
    };
    const std::vector<Case> cases = {
        {"contiguous", "0@10 10@20 20@30", 30, "441:0+0 441:1+0 441:2+0", 0, 0},
        {"within 2 ms: continued", "0@10 11.9@22 20@30", 30, "441:0+0 441:1+0 441:2+0", 0, 0},
        {"gap: silence", "0@10 30@40", 200, "441:0+0 882:-+0 441:1+0 441:-+0", 0, 0},
        {"overlap with handed out: dropped", "0@10 5@20", 20, "441:0+0 220:1+221", 221, 0},
        {"a hole before a frame: silence at once", "20@21 25@30", 200,
         "882:-+0 441:0+0 220:1+221 662:-+0", 221, 0},
        {"late: dropped, rest in place", "0@10 145@300", 300, "441:0+0 6174:-+0 220:1+221", 221, 0},
        {"over a second ahead: refused", "1100.1@100 1100@100", 1310, "48510:-+0 441:1+0 2205:-+0",
         0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        PhoneTimeline timeline(PlacingRules{});
        std::vector<std::int16_t> out;
        std::size_t late = 0, refused = 0;
        std::istringstream frames(c.frames);
        double stamp = 0, arrival = 0;
        char separator = 0;
        for (int f = 0; frames >> stamp >> separator >> arrival; ++f) {
            std::vector<std::int16_t> samples(441);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = sampleOf(f, i);
            drain(timeline, arrival, out);
            const auto placement = timeline.place(at(stamp), samples, at(arrival));
            late += placement.late;
            refused += placement.refused ? 1 : 0;
        }
        drain(timeline, c.endMs, out);
        std::vector<std::int16_t> expected;
        std::istringstream runs(c.runs);
        std::size_t count = 0, first = 0;
        std::string frame;
        while (runs >> count >> separator && std::getline(runs, frame, '+') && runs >> first)
            for (std::size_t i = 0; i < count; ++i)
                expected.push_back(frame == "-" ? 0 : sampleOf(std::stoi(frame), first + i));
        EXPECT_EQ(out, expected);
        EXPECT_EQ(late, c.late);
        EXPECT_EQ(refused, c.refused);
    }
}

// Each line: the session's calls ('s'tart over, 'p'ause, 'r'esume, sile'n'ce) at their times in
// ms, then the frames a mark counts once everything up to 250 ms (11025 samples) is handed out.
TEST(PhoneTimelineTest, CountsTheSessionsFramesLessThePauses) {
    const std::vector<std::pair<const char*, std::optional<std::int64_t>>> cases = {
        {"", std::nullopt},
        {"s100", 11025 - 4410},
        {"s100 p200 r300", 11025 - 8820},
        {"s100 r150 p200 p250 r300", 11025 - 8820},
        {"s100 p200", std::nullopt},
        {"s100 n150", std::nullopt},
        {"s0 p50 r150 s200", 11025 - 8820},
        {"s100 n150 r160", std::nullopt},
    };
    for (const auto& [calls, frames] : cases) {
        SCOPED_TRACE(calls);
        PhoneTimeline timeline(PlacingRules{});
        std::istringstream in(calls);
        char call = 0;
        double ms = 0;
        while (in >> call >> ms) {
            if (call == 's')
                timeline.startOver(at(ms));
            else if (call == 'p')
                timeline.pause(at(ms));
            else if (call == 'r')
                timeline.resume(at(ms));
            else
                timeline.silence();
        }
        std::vector<std::int16_t> out;
        drain(timeline, 400, out);
        ASSERT_EQ(timeline.handedOut(), 11025);
        EXPECT_EQ(timeline.sessionFrames(), frames);
    }
}

// A phone whose clock mapping jitters by up to 0.8 ms and whose sample clock drifts by up to
// 300 ppm, sending frames of 5 to 25 ms of which some are lost, arriving up to 100 ms late: no
// sample lands further than the snap and the jitter from where it was captured, and of what
// arrived only overlaps are lost: nothing that came in time is dropped as late.
TEST(PhoneTimelineTest, KeepsEverySampleNearItsCaptureTime) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> drift(-300e-6, 300e-6), jitter(-0.8, 0.8), delay(0, 100);
    std::uniform_int_distribution<std::size_t> length(220, 1102);
    std::bernoulli_distribution lost(0.1);
    for (int run = 0; run < 40; ++run) {
        SCOPED_TRACE(run);
        const double rate = 44.1 * (1 + drift(random)); // samples per ms of the game's clock
        PhoneTimeline timeline(PlacingRules{});
        std::vector<std::int16_t> out;
        std::size_t received = 0, ownTime = 0;
        std::int64_t captured = 0;
        double arrived = 0;
        while (captured < 3 * 44100) {
            std::vector<std::int16_t> samples(length(random));
            for (std::size_t i = 0; i < samples.size(); ++i) // the capture's count, never zero
                samples[i] = static_cast<std::int16_t>((captured + i) % 30000 + 1);
            const double trueMs = static_cast<double>(captured) / rate;
            captured += static_cast<std::int64_t>(samples.size());
            arrived = std::max(arrived, static_cast<double>(captured) / rate + delay(random));
            drain(timeline, arrived, out);
            if (lost(random))
                continue;
            received += samples.size();
            ownTime +=
                timeline.place(at(trueMs + jitter(random)), samples, at(arrived)).continued ? 0 : 1;
        }
        drain(timeline, arrived + 1000, out);
        std::size_t heard = 0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (out[i] == 0)
                continue;
            ++heard;
            // The capture index of this value nearest to where the sample landed.
            const std::int64_t value = out[i] - 1;
            const double landedAt = static_cast<double>(i) * rate / 44.1;
            const std::int64_t index =
                value + 30000 * std::llround((landedAt - static_cast<double>(value)) / 30000);
            const double offMs = static_cast<double>(i) / 44.1 - static_cast<double>(index) / rate;
            ASSERT_LE(std::abs(offMs), 2.0 + 0.8 + 0.05) << "sample " << i;
        }
        // Where a frame went by its own time, it may cover up to 1.6 ms of the one before.
        EXPECT_GE(heard + 71 * ownTime, received);
    }
}
