#include "pitch/exact_tenth.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using cantorix::pitch::tenth;

namespace {

bool sameAsDivision(float x) {
    return std::bit_cast<std::uint64_t>(tenth(x)) ==
           std::bit_cast<std::uint64_t>(static_cast<double>(x) / 10.0);
}

} // namespace

// Scaling by a power of two scales both sides exactly, and both round symmetrically about 0, so
// one binade of positive normal floats and the subnormal range cover every significand there is.
TEST(ExactTenthTest, EverySignificandRoundsAsTheDivision) {
    for (std::uint32_t bits = 0; bits < (1u << 24); ++bits) {
        // Bits 0 .. 2^23 - 1 are the subnormals (and 0); 2^23 .. 2^24 - 1 the binade [2^-126,
        // 2^-125).
        const float x = std::bit_cast<float>(bits);
        ASSERT_TRUE(sameAsDivision(x)) << std::hexfloat << x;
    }
}

TEST(ExactTenthTest, OtherExponentsAndSpecialValuesRoundAsTheDivision) {
    std::mt19937 generator(11);
    for (int i = 0; i < 1'000'000; ++i) {
        const float x = std::bit_cast<float>(static_cast<std::uint32_t>(generator()));
        if (!std::isnan(x)) {
            ASSERT_TRUE(sameAsDivision(x)) << std::hexfloat << x;
        }
    }
    EXPECT_TRUE(sameAsDivision(3.0f)); // where multiplying by 0.1 is one unit off
    EXPECT_TRUE(sameAsDivision(std::numeric_limits<float>::infinity()));
    EXPECT_TRUE(sameAsDivision(-std::numeric_limits<float>::infinity()));
    EXPECT_TRUE(std::isnan(tenth(std::numeric_limits<float>::quiet_NaN())));
}
