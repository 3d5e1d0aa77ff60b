// The clock mapping against simulated phones: clocks at any offset that run fast or slow, pinged
// over a network whose two directions delay differently. All time here is simulated.

#include "phones/clock_mapping.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace cantorix::phones;

namespace {

// A phone whose clock reads offset + game × (1 + drift).
struct SimulatedPhone {
    double offset;
    double drift;
    double clockAt(double game) const { return offset + game * (1 + drift); }
    double gameAt(double phone) const { return (phone - offset) / (1 + drift); }
};

} // namespace

// Each line: trips (g0, p, g1) for a phone whose clock reads game + 100, the phone time asked
// and the game time expected (or none).
TEST(ClockMappingTest, UsesTheQuickestUsefulTrips) {
    struct Case {
        std::vector<RoundTrip> trips;
        double phone;
        std::optional<double> game;
    };
    const Case cases[] = {
        {{}, 105, std::nullopt},
        {{{0, 100.9, 2}}, 105, std::nullopt},              // too slow to say anything
        {{{0, 100.1, 0.2}}, 105, 5.0},                     // the midpoint of the only trip
        {{{0, 100.15, 0.2}, {1, 101.01, 1.02}}, 105, 5.0}, // the quicker one counts
        {{{0, 100, -0.1}, {std::nan(""), 100, 0}}, 100, std::nullopt}, // not trips at all
        {{{0, 100.01, 0.02}, {30, 30.01, 30.02}}, 40, 40.0},           // the clock restarted at 0
    };
    for (const Case& c : cases) {
        ClockMapping mapping;
        for (const RoundTrip& trip : c.trips)
            mapping.add(trip);
        EXPECT_EQ(mapping.known(), c.game.has_value());
        const std::optional<double> game = mapping.gameSeconds(c.phone);
        ASSERT_EQ(game.has_value(), c.game.has_value());
        if (game) {
            EXPECT_NEAR(*game, *c.game, 1e-9);
        }
    }
}

// A frame's stamp is placed only when it is a time within a minute of the game's present; any
// other (not finite, astronomically far, a minute and more away) is refused before arithmetic.
TEST(ClockMappingTest, PlacesOnlyStampsNearThePresent) {
    ClockMapping mapping;
    mapping.add({1000, 100.1, 1000.2}); // phone = game - 900
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, bool> stamps[] = {{105, true},
                                              {105 + 59, true},
                                              {105 - 59, true},
                                              {105 + 61, false},
                                              {105 - 61, false},
                                              {1e300, false},
                                              {-1e300, false},
                                              {inf, false},
                                              {-inf, false},
                                              {std::nan(""), false},
                                              {std::numeric_limits<double>::max(), false}};
    for (const auto& [phone, placed] : stamps) {
        const std::optional<double> game = mapping.gameSecondsNear(phone, 1005);
        EXPECT_EQ(game.has_value(), placed) << phone;
        if (game) {
            EXPECT_NEAR(*game, phone + 900, 1e-6);
        }
    }
    EXPECT_FALSE(mapping.gameSecondsNear(105, inf).has_value());
    EXPECT_FALSE(ClockMapping().gameSecondsNear(105, 1005).has_value());
}

TEST(ClockMappingTest, TheRateStaysWithinAThousandPpm) {
    ClockMapping mapping;
    // Trips that claim the phone's clock runs 0.5 % fast.
    for (int i = 0; i < 60; ++i) {
        mapping.add({2.0 * i, 1.005 * (2.0 * i + 0.0005), 2.0 * i + 0.001});
        EXPECT_LE(std::fabs(mapping.rate() - 1), 1e-3 + 1e-12) << i;
    }
    EXPECT_NEAR(*mapping.uncertaintySeconds(), 0.0005, 1e-12);
}

// A phone too busy to keep its sound running in time skips stretches of its audio clock, which
// so falls behind by a few per cent: far beyond any crystal, and in steps. Its frames are still
// placed near their time, never seconds later than the game waits for late sound.
TEST(ClockMappingTest, FollowsAPhoneClockThatFallsBehindInSteps) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0, 1);
    double worst = 0;
    for (int client = 0; client < 50; ++client) {
        ClockMapping mapping;
        double game = 100, phone = 5000 + 1000 * unit(random);
        const double lostShare = 0.01 + 0.03 * unit(random); // 1 to 4 % of the time
        double lostSinceTrip = 0;
        // Five minutes in ticks of 20 ms: a burst of pings at join, then one every 2 s.
        for (int tick = 0; tick < 15000; ++tick) {
            if ((tick < 24 && tick % 3 == 0) || tick % 100 == 0) {
                const double roundTrip = 0.001 + 0.019 * unit(random);
                mapping.add({game, phone + roundTrip / 2, game + roundTrip});
                lostSinceTrip = 0;
            }
            if (tick >= 24) {
                const std::optional<double> placed = mapping.gameSeconds(phone);
                ASSERT_TRUE(placed);
                // Beyond what no trip has shown yet.
                worst = std::max(worst, std::fabs(*placed - game) - lostSinceTrip);
            }
            game += 0.02;
            phone += 0.02;
            // Steps of 10 to 40 ms, 25 ms on average.
            if (unit(random) < lostShare * 0.02 / 0.025) {
                const double lost = 0.01 + 0.03 * unit(random);
                phone -= lost;
                lostSinceTrip += lost;
            }
        }
    }
    // Off by what the clock lost since the last trip, which nothing could show, and no more than
    // the step a trip must show before the line starts again, with the trip's own length.
    EXPECT_LT(worst, 0.04);
    RecordProperty("worstErrorMicroseconds", static_cast<int>(worst * 1e6));
}

// Many phones, each with its own offset, drift and network, pinged every 2 s after a burst of 8
// for ten minutes; at each ping the mapping places random phone times near the present.
TEST(ClockMappingTest, PlacesPhoneTimesWithinFiveMilliseconds) {
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> unit(0, 1);
    double worst = 0;
    for (int client = 0; client < 200; ++client) {
        const SimulatedPhone phone{-3600 + unit(random) * (1e6 + 3600),
                                   (unit(random) * 2 - 1) * 100e-6};
        // The share of each trip spent going out: a network that is quicker one way than back.
        const double outShare = 0.3 + 0.4 * unit(random);
        ClockMapping mapping;
        double game = 1000 + unit(random) * 1e5;
        const double end = game + 600;
        for (int ping = 0; game < end; ++ping) {
            // One trip in twenty is caught in a Wi-Fi stall far too long to use.
            const double roundTrip =
                unit(random) < 0.05 ? 0.5 + 2 * unit(random) : 0.0005 + 0.0395 * unit(random);
            const double share = std::clamp(outShare + 0.2 * (unit(random) - 0.5), 0.0, 1.0);
            mapping.add({game, phone.clockAt(game + share * roundTrip), game + roundTrip});
            // From the end of the burst on, every phone time near the present is placed.
            ASSERT_TRUE(mapping.known() || ping < 7);
            for (int probe = 0; probe < 4 && ping >= 7; ++probe) {
                const double asked = phone.clockAt(game + roundTrip + (unit(random) * 4 - 2));
                const std::optional<double> placed = mapping.gameSeconds(asked);
                ASSERT_TRUE(placed);
                worst = std::max(worst, std::fabs(*placed - phone.gameAt(asked)));
            }
            game += ping < 8 ? 0.05 : 2.0;
        }
        EXPECT_NEAR(mapping.rate(), 1 + phone.drift, 50e-6);
    }
    EXPECT_LT(worst, 0.005);
    RecordProperty("worstErrorMicroseconds", static_cast<int>(worst * 1e6));
}
