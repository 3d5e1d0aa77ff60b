#include "pitch/fft.h"

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>
#include <span>
#include <vector>

using namespace cantorix::pitch;

namespace {

constexpr float kUntouched = -123.0f;

std::vector<Complex> randomValues(int n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<Complex> x(static_cast<std::size_t>(n));
    for (Complex& c : x)
        c = {value(generator), value(generator)};
    return x;
}

// The definition, summed in long double with each root taken at (k * n) mod N.
std::vector<std::complex<long double>> naiveDft(const std::vector<Complex>& x) {
    const std::size_t n = x.size();
    std::vector<std::complex<long double>> roots(n), y(n);
    for (std::size_t j = 0; j < n; ++j) {
        const long double angle = -2.0L * std::numbers::pi_v<long double> * j / n;
        roots[j] = {std::cos(angle), std::sin(angle)};
    }
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<long double> sum = 0;
        for (std::size_t j = 0; j < n; ++j)
            sum += std::complex<long double>(x[j].re, x[j].im) * roots[(k * j) % n];
        y[k] = sum;
    }
    return y;
}

std::vector<float> cosine(int n, double amplitude, int periods) {
    std::vector<float> input(static_cast<std::size_t>(n) + 1);
    // Element 0 lies outside the transformed range; a NaN there would spoil every bin if read.
    input[0] = std::numeric_limits<float>::quiet_NaN();
    for (int j = 0; j < n; ++j)
        input[static_cast<std::size_t>(j) + 1] =
            static_cast<float>(amplitude * std::cos(2.0 * std::numbers::pi * periods * j / n));
    return input;
}

} // namespace

TEST(FFTFactorsTest, FollowTheRadixSearchThenTrialDivisionReversed) {
    EXPECT_EQ(FFTFactors(4096), (std::vector<int>{8, 8, 8, 8}));
    EXPECT_EQ(FFTFactors(1), (std::vector<int>{1}));
    EXPECT_EQ(FFTFactors(1000), (std::vector<int>{10, 10, 10}));
    EXPECT_EQ(FFTFactors(20), (std::vector<int>{2, 10}));
    EXPECT_EQ(FFTFactors(1001), (std::vector<int>{13, 11, 7}));
    EXPECT_EQ(FFTFactors(2062), (std::vector<int>{1031, 2}));
}

TEST(FFTFactorsTest, TrailingEightTimesTwoBecomesFourTimesFour) {
    EXPECT_EQ(FFTFactors(16), (std::vector<int>{4, 4}));
    EXPECT_EQ(FFTFactors(48), (std::vector<int>{4, 3, 4}));
    EXPECT_EQ(FFTFactors(160), (std::vector<int>{4, 4, 10}));
    EXPECT_EQ(FFTFactors(8192), (std::vector<int>{4, 4, 8, 8, 8}));
    EXPECT_EQ(FFTFactors(6), (std::vector<int>{2, 3})); // no 8 to pair with
}

class ComplexFFTTest : public ::testing::TestWithParam<int> {};

TEST_P(ComplexFFTTest, MatchesTheDefinition) {
    const int n = GetParam();
    const std::vector<Complex> x = randomValues(n, static_cast<unsigned>(n));
    std::vector<Complex> y(x.size());
    ComplexFFT(x, y);
    const auto expected = naiveDft(x);
    // Random values of size <= 1 give bins of about sqrt(n); a wrong index map or butterfly
    // is off by that much, rounding by some 1e-13 of it.
    const double tolerance = 1e-11 * n;
    for (std::size_t k = 0; k < y.size(); ++k) {
        ASSERT_NEAR(y[k].re, static_cast<double>(expected[k].real()), tolerance) << "bin " << k;
        ASSERT_NEAR(y[k].im, static_cast<double>(expected[k].imag()), tolerance) << "bin " << k;
    }
}

// Every dedicated radix alone and in mixtures, the 4 * 4 replacement, and odd primes through the
// general butterfly, alone (1021, the largest allowed) and after other passes (1001 = 13 * 11 * 7).
INSTANTIATE_TEST_SUITE_P(MixedRadix, ComplexFFTTest,
                         ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 16, 40, 48, 49, 96,
                                           100, 160, 210, 1000, 1001, 1021, 4096));

TEST(ComplexFFTErrorTest, PrimeFactorAbove1021IsAnErrorAndLeavesOutputAlone) {
    for (int n : {1031, 2062}) {
        const std::vector<Complex> x = randomValues(n, 7);
        std::vector<Complex> y(x.size(), Complex{5.0, 6.0});
        try {
            ComplexFFT(x, y);
            FAIL() << "no error for " << n;
        } catch (const EMathError& e) {
            EXPECT_STREQ(e.what(), "Blad w FFT");
        }
        EXPECT_EQ(y[0].re, 5.0);
        EXPECT_EQ(y.back().im, 6.0);
    }
}

TEST(ComplexFFTErrorTest, MismatchedOrOverlappingArraysAreRejected) {
    std::vector<Complex> x(8), y(6);
    EXPECT_THROW(ComplexFFT(x, y), std::invalid_argument);
    EXPECT_THROW(ComplexFFT(std::span<const Complex>(x).first(4), std::span(x).subspan(2, 4)),
                 std::invalid_argument);
}

TEST(FFTMagnitudesTest, WholePeriodCosineGivesOneBinOf4096TimesAmplitude) {
    const int n = 4096;
    const double amplitude = 1000.0;
    for (int periods : {1, 93, 2047}) {
        const std::vector<float> input = cosine(n, amplitude, periods);
        std::vector<float> output(n / 2 + 2, kUntouched);
        FFTMagnitudes(input, output, n);
        EXPECT_EQ(output[0], kUntouched);
        EXPECT_EQ(output[n / 2 + 1], kUntouched);
        for (int j = 1; j <= n / 2; ++j) {
            const double expected = j == periods + 1 ? 4.096 * amplitude : 0.0;
            ASSERT_NEAR(output[static_cast<std::size_t>(j)], expected, 1e-3)
                << "periods " << periods << ", element " << j;
        }
    }
}

TEST(FFTMagnitudesTest, ScalesTheTransformOfElementsOneToN) {
    for (int n : {16, 100, 1001}) {
        const std::vector<Complex> values = randomValues(n, 3);
        std::vector<float> input(static_cast<std::size_t>(n) + 1, 1e30f);
        std::vector<Complex> scaled(values.size());
        for (std::size_t j = 0; j < values.size(); ++j) {
            input[j + 1] = static_cast<float>(values[j].re * 3000.0);
            scaled[j] = {static_cast<double>(input[j + 1]) / 10.0, 0.0};
        }
        const auto bins = naiveDft(scaled);
        std::vector<float> output(input.size(), kUntouched);
        FFTMagnitudes(input, output, n);
        EXPECT_EQ(output[0], kUntouched);
        for (int j = 0; j < n / 2; ++j) {
            const double expected = static_cast<double>(std::abs(bins[std::size_t(j)])) / 50.0;
            ASSERT_NEAR(output[std::size_t(j) + 1], expected, 1e-5 * (1.0 + expected)) << j;
        }
        EXPECT_EQ(output[std::size_t(n / 2) + 1], kUntouched);
    }
}

TEST(FFTMagnitudesTest, LengthsOutsideTheRangeLeaveOutputUntouched) {
    std::vector<float> input(8194, 1.0f);
    std::vector<float> output(8194, kUntouched);
    for (int n : {0, -4, 8193}) {
        FFTMagnitudes(input, output, n);
        for (float v : output)
            ASSERT_EQ(v, kUntouched) << "n " << n;
    }
    FFTMagnitudes({}, {}, 0); // nothing is read, so no array is needed
}

TEST(FFTMagnitudesTest, LengthOneWritesNoElement) {
    std::vector<float> input{7.0f, 8.0f};
    std::vector<float> output(2, kUntouched);
    FFTMagnitudes(input, output, 1);
    EXPECT_EQ(output[0], kUntouched);
    EXPECT_EQ(output[1], kUntouched);
}

TEST(FFTMagnitudesTest, PrimeFactorAbove1021RaisesBeforeWriting) {
    std::vector<float> input(1032, 1.0f);
    std::vector<float> output(1032, kUntouched);
    EXPECT_THROW(
        {
            try {
                FFTMagnitudes(input, output, 1031);
            } catch (const EMathError& e) {
                EXPECT_STREQ(e.what(), "Blad w FFT");
                throw;
            }
        },
        EMathError);
    for (float v : output)
        ASSERT_EQ(v, kUntouched);
}

TEST(FFTMagnitudesTest, ArraysShorterThanTheLengthAreRejected) {
    std::vector<float> input(16), output(16);
    EXPECT_THROW(FFTMagnitudes(input, output, 16), std::invalid_argument);
    std::vector<float> longInput(17);
    EXPECT_THROW(FFTMagnitudes(longInput, std::span(output).first(8), 16), std::invalid_argument);
}

// The plan keeps the tables of the last length: switching lengths, or a failed length in
// between, must give bit for bit what a fresh plan gives.
TEST(FFTPlanTest, ReusedPlanMatchesFreshPlanBitForBit) {
    FFTPlan reused;
    std::vector<float> out(4098);
    const std::vector<float> input = cosine(4096, 321.0, 77);
    for (int n : {4096, 16, 1000, 4096}) {
        if (n == 1000) {
            EXPECT_THROW(reused.FFTMagnitudes(std::vector<float>(1032), out, 1031), EMathError);
        }
        std::vector<float> expected(out.size()), actual(out.size());
        FFTPlan().FFTMagnitudes(input, expected, n);
        reused.FFTMagnitudes(input, actual, n);
        for (std::size_t j = 0; j < actual.size(); ++j)
            ASSERT_EQ(std::bit_cast<std::uint32_t>(actual[j]),
                      std::bit_cast<std::uint32_t>(expected[j]))
                << "n " << n << ", element " << j;
    }
}
