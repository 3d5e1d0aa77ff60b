#include "session/input_binding.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <random>
#include <vector>

namespace cantorix::session {
namespace {

constexpr std::size_t kTickSamples = 2205; // 50 ms at 44100 Hz

// Feeds the same levels `ticks` times; the 1-based tick an input was named at, or 0.
struct Stretch {
    std::vector<double> levels;
    int ticks;
};

struct Heard {
    int tick = 0;
    std::size_t input = 0;
};

std::vector<Heard> listen(const std::vector<Stretch>& stretches) {
    LoudestInputDetector detector;
    std::vector<Heard> heard;
    int tick = 0;
    for (const Stretch& s : stretches)
        for (int i = 0; i < s.ticks; ++i) {
            ++tick;
            if (const auto input = detector.feed(s.levels))
                heard.push_back({tick, *input});
        }
    return heard;
}

TEST(LoudestInputDetectorTest, NamesTheInputThatLeadsByTwelveDecibelsForOneSecond) {
    struct Case {
        const char* what;
        std::vector<Stretch> stretches;
        std::vector<std::pair<int, std::size_t>> expected; // tick, input
    };
    const Case cases[] = {
        {"one input singing", {{{-20}, 25}}, {{20, 0}}},
        {"one input, room noise only", {{{-60}, 40}}, {}},
        {"lead of exactly 12 dB", {{{-22, -10}, 20}}, {{20, 1}}},
        {"lead of 11.5 dB", {{{-21.5, -10}, 40}}, {}},
        {"19 ticks are not a second", {{{-10, -40}, 19}, {{-40, -40}, 30}}, {}},
        {"a dip starts the second afresh",
         {{{-10, -40}, 15}, {{-30, -40}, 1}, {{-10, -40}, 20}},
         {{36, 0}}},
        {"the leader changes", {{{-10, -40}, 10}, {{-40, -10}, 20}}, {{30, 1}}},
        {"a second loud input spoils the lead", {{{-10, -15, -60}, 40}}, {}},
        {"named once per second of singing", {{{-60, -12, -60}, 41}}, {{20, 1}, {40, 1}}},
        {"the list taken again starts afresh", {{{-10, -40}, 10}, {{-10, -40, -50}, 19}}, {}},
        {"no inputs", {{{}, 30}}, {}},
    };
    for (const Case& c : cases) {
        const std::vector<Heard> heard = listen(c.stretches);
        ASSERT_EQ(heard.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < heard.size(); ++i) {
            EXPECT_EQ(heard[i].tick, c.expected[i].first) << c.what;
            EXPECT_EQ(heard[i].input, c.expected[i].second) << c.what;
        }
    }
}

// Over random levels: whoever is named led every other input by 12 dB, above the floor, on each
// of the twenty ticks before.
TEST(LoudestInputDetectorTest, NamedInputAlwaysLedForTheWholeSecond) {
    std::mt19937 random(21);
    int bindings = 0;
    for (int run = 0; run < 200; ++run) {
        const std::size_t inputs = 1 + random() % 4;
        std::uniform_real_distribution<double> level(-70.0, 0.0);
        std::vector<std::vector<double>> ticks;
        LoudestInputDetector detector;
        for (int t = 0; t < 400; ++t) {
            std::vector<double> levels(inputs, -70.0);
            // Mostly one input well above the others, so that bindings do happen.
            const std::size_t singer = (t / 30) % inputs;
            for (std::size_t i = 0; i < inputs; ++i)
                levels[i] =
                    i == singer && random() % 8 != 0 ? -15 + level(random) / 10 : level(random);
            ticks.push_back(levels);
            const auto heard = detector.feed(levels);
            if (!heard)
                continue;
            ++bindings;
            ASSERT_GE(ticks.size(), 20u);
            for (std::size_t back = ticks.size() - 20; back < ticks.size(); ++back) {
                const std::vector<double>& at = ticks[back];
                EXPECT_GE(at[*heard], LoudestInputDetector::kSingingFloorDb);
                for (std::size_t other = 0; other < inputs; ++other) {
                    if (other != *heard) {
                        EXPECT_GE(at[*heard] - at[other], 12.0);
                    }
                }
            }
        }
    }
    EXPECT_GT(bindings, 100);
}

std::vector<std::int16_t> sine(double hz, double amplitude, std::size_t start, std::size_t n) {
    std::vector<std::int16_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] =
            static_cast<std::int16_t>(amplitude * std::sin(2 * std::numbers::pi * hz *
                                                           static_cast<double>(start + i) / 44100));
    return out;
}

std::vector<std::int16_t> noise(std::mt19937& random, double amplitude, std::size_t n) {
    std::normal_distribution<double> gauss(0.0, amplitude);
    std::vector<std::int16_t> out(n);
    for (std::int16_t& s : out)
        s = static_cast<std::int16_t>(std::clamp(gauss(random), -32767.0, 32767.0));
    return out;
}

// Each input's signal as a function of the tick: what a receiver's channels would carry.
using Channel = std::function<std::vector<std::int16_t>(std::size_t tick, std::mt19937&)>;

std::vector<SameSignalDetector::Pair> compare(const std::vector<Channel>& channels, double seconds,
                                              SameSignalDetector& detector) {
    std::mt19937 random(5);
    const auto ticks = static_cast<std::size_t>(seconds * 20);
    for (std::size_t t = 0; t < ticks; ++t) {
        std::vector<std::vector<std::int16_t>> blocks;
        for (const Channel& channel : channels)
            blocks.push_back(channel(t, random));
        std::vector<std::span<const std::int16_t>> views(blocks.begin(), blocks.end());
        detector.feed(views);
    }
    return detector.sameSignalPairs();
}

TEST(SameSignalDetectorTest, PointsOutInputsThatStayCorrelatedForTwoSeconds) {
    std::mt19937 shared(9);
    std::vector<std::vector<std::int16_t>> voice;
    for (int t = 0; t < 200; ++t)
        voice.push_back(noise(shared, 4000, kTickSamples));
    const Channel heard = [&](std::size_t t, std::mt19937&) { return voice[t]; };
    const Channel heardSofter = [&](std::size_t t, std::mt19937&) {
        auto v = voice[t];
        for (auto& s : v)
            s = static_cast<std::int16_t>(s / 3);
        return v;
    };
    const Channel otherSinger = [](std::size_t, std::mt19937& r) {
        return noise(r, 4000, kTickSamples);
    };
    const Channel silent = [](std::size_t, std::mt19937&) {
        return std::vector<std::int16_t>(kTickSamples, 0);
    };
    const Channel tone = [](std::size_t t, std::mt19937&) {
        return sine(440, 8000, t * kTickSamples, kTickSamples);
    };
    using Pairs = std::vector<SameSignalDetector::Pair>;
    struct Case {
        const char* what;
        std::vector<Channel> channels;
        double seconds;
        Pairs expected;
    };
    const Case cases[] = {
        {"one microphone on both channels", {heard, heard}, 2.0, {{0, 1}}},
        {"not yet two seconds", {heard, heard}, 1.9, {}},
        {"quieter on one channel", {heard, heardSofter}, 2.5, {{0, 1}}},
        {"two singers", {heard, otherSinger}, 4.0, {}},
        {"a silent channel", {heard, silent}, 4.0, {}},
        {"both silent", {silent, silent}, 4.0, {}},
        {"the second and fourth of four", {otherSinger, heard, tone, heardSofter}, 3.0, {{1, 3}}},
    };
    for (const Case& c : cases) {
        SameSignalDetector detector;
        EXPECT_EQ(compare(c.channels, c.seconds, detector), c.expected) << c.what;
    }
}

TEST(SameSignalDetectorTest, ForgetsAPairOnlyAfterTwoSecondsOfDifferentSound) {
    std::mt19937 shared(3);
    std::vector<std::int16_t> last;
    const Channel first = [&](std::size_t, std::mt19937&) {
        last = noise(shared, 3000, kTickSamples);
        return last;
    };
    const Channel copy = [&](std::size_t, std::mt19937&) { return last; };
    const Channel own = [](std::size_t, std::mt19937& r) { return noise(r, 3000, kTickSamples); };
    SameSignalDetector detector;
    ASSERT_EQ(compare({first, copy}, 2.0, detector).size(), 1u);
    EXPECT_EQ(compare({first, own}, 1.9, detector).size(), 1u);
    EXPECT_TRUE(compare({first, own}, 0.1, detector).empty());
}

// Score.ini's text of an address, read back: a card's channel with its device, a file's or the
// default input's without, an earlier release's card address without; anything else is nothing.
TEST(InputAddressTextTest, ReadsWhatItWritesAndNothingMalformed) {
    const std::pair<const char*, std::optional<InputAddress>> cases[] = {
        {"USB:0:1", InputAddress{"USB", 1, 0}},
        {"PCH:2:0", InputAddress{"PCH", 0, 2}},
        {"mic-file-2:1", InputAddress{"mic-file-2", 1}},
        {"default:0", InputAddress{"default", 0}},
        {"USB:4", InputAddress{"USB", 4}}, // an earlier release's, counted across the card
        {"USB:x:1", std::nullopt},
        {"USB:-1:1", std::nullopt},
        {"USB:256:0", std::nullopt},
        {":0:1", std::nullopt},
        {"USB:0:", std::nullopt},
        {"USB::1", std::nullopt},
        {"USB", std::nullopt},
        {"USB:1 ", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const std::optional<InputAddress> read = parseInputAddress(text);
        EXPECT_EQ(read, expected) << text;
        if (read) {
            EXPECT_EQ(inputAddressText(*read), text);
        }
    }
}

struct Listed {
    InputAddress address;
    std::optional<InputAddress> formerAddress = std::nullopt;
};

// Which listed input a saved binding names ("" for none: not connected).
TEST(BoundInputTest, AnAddressNamesItsOwnInputOrNoneAndAFormerOneOnlyWhileCertain) {
    const std::vector<Listed> listed = {
        {{"USB", 0, 1}, InputAddress{"USB", 2}},
        {{"USB", 1, 1}, InputAddress{"USB", 3}},
        {{"PCH", 0, 2}}, // its card's former count is uncertain
        {{"default", 0}},
        {{"mic-file-1", 1}},
        {{"Odd", 0}, InputAddress{"Odd", 5}}, // listed at an address without a device
        {{"Odd", 0, 0}, InputAddress{"Odd", 0}},
    };
    const std::pair<InputAddress, std::optional<std::size_t>> cases[] = {
        {{"USB", 1, 1}, 1},
        {{"USB", 3}, 1},               // the former count, certain
        {{"USB", 2, 1}, std::nullopt}, // a device not listed: never a neighbour
        {{"USB", 2, 0}, std::nullopt},
        {{"USB", 4}, std::nullopt},
        {{"PCH", 0}, std::nullopt}, // uncertain: nothing rather than a guess
        {{"PCH", 0, 2}, 2},
        {{"default", 0}, 3},
        {{"default", 1}, std::nullopt},
        {{"mic-file-1", 1}, 4},
        {{"mic-file-1", 0}, std::nullopt},
        {{"Odd", 0}, 5}, // the input at that very address before one formerly there
    };
    for (const auto& [saved, expected] : cases) {
        const Listed* bound = boundInput(saved, listed);
        const std::optional<std::size_t> index =
            bound ? std::optional(static_cast<std::size_t>(bound - listed.data())) : std::nullopt;
        EXPECT_EQ(index, expected) << inputAddressText(saved);
    }
}

} // namespace
} // namespace cantorix::session
