#include "pitch/fft.h"
#include "pitch/fft_butterflies.h"

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
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

// The definition, summed in long double with each root taken at (k * j) mod N.
std::vector<std::complex<long double>> naiveDft(const std::vector<Complex>& x) {
    const std::size_t n = x.size();
    std::vector<std::complex<long double>> roots(n), y(n);
    for (std::size_t j = 0; j < n; ++j) {
        const long double angle = -2.0L * std::numbers::pi_v<long double> * j / n;
        roots[j] = {std::cos(angle), std::sin(angle)};
    }
    for (std::size_t k = 0; k < n; ++k) {
        long double sumRe = 0, sumIm = 0;
        for (std::size_t j = 0, root = 0; j < n; ++j, root = (root + k) % n) {
            sumRe += x[j].re * roots[root].real() - x[j].im * roots[root].imag();
            sumIm += x[j].re * roots[root].imag() + x[j].im * roots[root].real();
        }
        y[k] = {sumRe, sumIm};
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

Complex times(const Complex& a, const Complex& b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

Complex unitRoot(int n) {
    const double angle = 2.0 * std::numbers::pi / n;
    return {std::cos(angle), -std::sin(angle)};
}

void applyButterfly(int radix, double* re, double* im, const std::vector<Complex>& roots) {
    namespace b = cantorix::pitch::butterfly;
    std::vector<double> rootRe, rootIm, scratch(4 * static_cast<std::size_t>(radix) + 4);
    switch (radix) {
    case 2:
        return b::Radix2::apply(re, im);
    case 3:
        return b::Radix3::apply(re, im);
    case 4:
        return b::Radix4::apply(re, im);
    case 5:
        return b::Radix5::apply(re, im);
    case 8:
        return b::Radix8::apply(re, im);
    case 10:
        return b::Radix10::apply(re, im);
    }
    for (const Complex& r : roots) {
        rootRe.push_back(r.re);
        rootIm.push_back(r.im);
    }
    b::general(re, im, radix, rootRe.data(), rootIm.data(), scratch.data());
}

// The transform done plainly: values reordered by digit-reversing counters, then pass by pass and
// group number by group number, twiddles by their recurrences, each group gathered, turned and
// put through its butterfly on its own. The plan's paired groups, cached tables and skipped
// products by one must give the same bits.
std::vector<Complex> plainTransform(const std::vector<Complex>& x) {
    const int n = static_cast<int>(x.size());
    const std::vector<int> factor = FFTFactors(n);
    const std::size_t count = factor.size();
    std::vector<int> remaining(count + 2, 0), counter(count + 1, 0);
    remaining[0] = n;
    for (std::size_t i = 0; i < count; ++i)
        remaining[i + 1] = remaining[i] / factor[i];
    std::vector<Complex> y(x.size());
    for (int i = 0, k = 0; i < n - 1; ++i) {
        y[std::size_t(i)] = x[std::size_t(k)];
        k += remaining[1];
        ++counter[0];
        for (std::size_t j = 0; counter[j] >= factor[j]; ++j) {
            counter[j] = 0;
            k = k - remaining[j] + remaining[j + 2];
            ++counter[j + 1];
        }
    }
    y.back() = x.back();
    int soFar = 1;
    for (int radix : factor) {
        std::vector<Complex> roots{{1.0, 0.0}, unitRoot(radix)}, g(std::size_t(radix) + 1);
        for (int m = 2; m < radix; ++m)
            roots.push_back(times(roots.back(), roots[1]));
        const Complex w = unitRoot(soFar * radix);
        Complex tw{1.0, 0.0};
        std::vector<double> re(static_cast<std::size_t>(radix)), im(re.size());
        for (int d = 0; d < soFar; ++d) {
            if (soFar > 1) {
                g[0] = {1.0, 0.0};
                g[1] = tw;
                for (int m = 2; m < radix; ++m)
                    g[std::size_t(m)] = times(g[std::size_t(m) - 1], tw);
                tw = times(tw, w);
            }
            for (int at = d; at < n; at += soFar * radix) {
                for (int m = 0; m < radix; ++m) {
                    Complex v = y[std::size_t(at + m * soFar)];
                    if (d > 0)
                        v = times(g[std::size_t(m)], v);
                    re[std::size_t(m)] = v.re;
                    im[std::size_t(m)] = v.im;
                }
                applyButterfly(radix, re.data(), im.data(), roots);
                for (int m = 0; m < radix; ++m)
                    y[std::size_t(at + m * soFar)] = {re[std::size_t(m)], im[std::size_t(m)]};
            }
        }
        soFar *= radix;
    }
    return y;
}

bool sameBits(const Complex& a, const Complex& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
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
                         ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 15, 16, 40, 48, 49,
                                           56, 96, 100, 160, 210, 1000, 1001, 1021, 4096));

// Odd numbers of groups, odd group distances and general radices before and after the others
// all occur among the lengths up to 400.
TEST(ComplexFFTBitsTest, AgreesBitForBitWithThePlainTransform) {
    std::vector<int> lengths;
    for (int n = 1; n <= 400; ++n)
        lengths.push_back(n);
    lengths.insert(lengths.end(), {1001, 2042, 4096, 8192});
    FFTPlan plan;
    for (int n : lengths) {
        const std::vector<Complex> x = randomValues(n, static_cast<unsigned>(n) + 100);
        std::vector<Complex> y(x.size());
        plan.ComplexFFT(x, y);
        const std::vector<Complex> expected = plainTransform(x);
        for (std::size_t k = 0; k < y.size(); ++k)
            ASSERT_TRUE(sameBits(y[k], expected[k])) << "n " << n << ", bin " << k;
    }
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

TEST(FFTMagnitudesTest, AreTheScaledPlainTransformOfElementsOneToNBitForBit) {
    for (int n : {4096, 16, 1000, 1001, 8192}) {
        const std::vector<Complex> values = randomValues(n, 3);
        std::vector<float> input(static_cast<std::size_t>(n) + 1, 1e30f);
        std::vector<Complex> scaled(values.size());
        for (std::size_t j = 0; j < values.size(); ++j) {
            input[j + 1] = static_cast<float>(values[j].re * 20000.0);
            scaled[j] = {static_cast<double>(input[j + 1]) / 10.0, 0.0};
        }
        const std::vector<Complex> bins = plainTransform(scaled);
        std::vector<float> output(input.size(), kUntouched);
        FFTMagnitudes(input, output, n);
        EXPECT_EQ(output[0], kUntouched);
        for (std::size_t j = 0; j < std::size_t(n / 2); ++j) {
            const Complex& y = bins[j];
            const auto expected = static_cast<float>(std::sqrt(y.re * y.re + y.im * y.im) / 50.0);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(output[j + 1]),
                      std::bit_cast<std::uint32_t>(expected))
                << "n " << n << ", element " << j + 1;
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

// A failed length leaves the plan's tables as they were: the length before it still gives the
// bits of a fresh plan.
TEST(FFTErrorTest, PrimeFactorAbove1021RaisesBeforeAnythingIsWritten) {
    FFTPlan plan;
    std::vector<float> input = cosine(4096, 321.0, 77), output(input.size(), kUntouched);
    plan.FFTMagnitudes(input, output, 16);
    std::vector<float> expected(output);
    for (int n : {1031, 2062}) {
        try {
            plan.FFTMagnitudes(input, output, n);
            FAIL() << "no error for " << n;
        } catch (const EMathError& e) {
            EXPECT_STREQ(e.what(), "Blad w FFT");
        }
        ASSERT_EQ(output, expected);
    }
    const std::vector<Complex> x = randomValues(1031, 7);
    std::vector<Complex> y(x.size(), Complex{5.0, 6.0});
    EXPECT_THROW(plan.ComplexFFT(x, y), EMathError);
    EXPECT_EQ(y.back().im, 6.0);
    plan.FFTMagnitudes(input, output, 16); // the length whose tables the plan kept
    FFTPlan().FFTMagnitudes(input, expected, 16);
    for (std::size_t j = 0; j < output.size(); ++j)
        ASSERT_EQ(std::bit_cast<std::uint32_t>(output[j]),
                  std::bit_cast<std::uint32_t>(expected[j]));
}

TEST(FFTErrorTest, ArraysThatDoNotFitAreRejected) {
    std::vector<Complex> x(8), y(6);
    EXPECT_THROW(ComplexFFT(x, y), std::invalid_argument);
    EXPECT_THROW(ComplexFFT(std::span<const Complex>(x).first(4), std::span(x).subspan(2, 4)),
                 std::invalid_argument);
    std::vector<float> input(16), output(16);
    EXPECT_THROW(FFTMagnitudes(input, output, 16), std::invalid_argument);
    std::vector<float> longInput(17);
    EXPECT_THROW(FFTMagnitudes(longInput, std::span(output).first(8), 16), std::invalid_argument);
}
