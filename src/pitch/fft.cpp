#include "pitch/fft.h"

#include "pitch/exact_tenth.h"
#include "pitch/fft_passes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

namespace cantorix::pitch {

namespace {

constexpr const char* kLengthError = "Blad w FFT";

struct Factors {
    std::array<int, kMaxFFTFactors> factor{};
    int count = 0;

    void append(int f) { factor[static_cast<std::size_t>(count++)] = f; }
};

// As many 10s as possible, then 8s, 5s, 4s, 3s and 2s; a trailing 8 * 2 becomes 4 * 4; what is
// left is split by trial division. The passes run in the reverse order of the search.
Factors factorise(int n) {
    Factors f;
    if (n == 1) {
        f.append(1);
        return f;
    }
    static constexpr int kRadices[] = {2, 3, 4, 5, 8, 10};
    for (int r = static_cast<int>(std::size(kRadices)) - 1; n > 1 && r >= 0;) {
        if (n % kRadices[r] == 0) {
            n /= kRadices[r];
            f.append(kRadices[r]);
        } else {
            --r;
        }
    }
    if (f.count > 0 && f.factor[static_cast<std::size_t>(f.count - 1)] == 2) {
        for (int i = f.count - 2; i >= 0; --i) {
            if (f.factor[static_cast<std::size_t>(i)] == 8) {
                f.factor[static_cast<std::size_t>(i)] = 4;
                f.factor[static_cast<std::size_t>(f.count - 1)] = 4;
                break;
            }
        }
    }
    if (n > 1) {
        for (int k = 2; k < std::sqrt(static_cast<double>(n)) + 1; ++k) {
            while (n % k == 0) {
                n /= k;
                f.append(k);
            }
        }
        if (n > 1)
            f.append(n);
    }
    std::reverse(f.factor.begin(), f.factor.begin() + f.count);
    return f;
}

// e^(-2 pi i / n): one cos/sin pair, from which the tables follow by repeated multiplication.
void unitRoot(int n, double& re, double& im) {
    const double angle = 2.0 * std::numbers::pi / n;
    re = std::cos(angle);
    im = -std::sin(angle);
}

bool hasOwnButterfly(int radix) {
    return radix == 2 || radix == 3 || radix == 4 || radix == 5 || radix == 8 || radix == 10;
}

bool overlaps(std::span<const Complex> a, std::span<const Complex> b) {
    const std::less<const Complex*> before;
    return before(a.data(), b.data() + b.size()) && before(b.data(), a.data() + a.size());
}

} // namespace

std::vector<int> FFTFactors(int n) {
    if (n < 1)
        throw std::invalid_argument("FFT length must be at least 1");
    const Factors f = factorise(n);
    return {f.factor.begin(), f.factor.begin() + f.count};
}

FFTPlan::FFTPlan() : m_scratch(4 * (static_cast<std::size_t>(kMaxFFTRadix) + 1)) {}

void FFTPlan::prepare(int n) {
    if (n == m_n)
        return;
    const Factors f = factorise(n);
    if (f.factor[0] > kMaxFFTRadix)
        throw EMathError(kLengthError);
    m_n = 0; // until every table matches n
    const std::span<const int> factors(f.factor.data(), static_cast<std::size_t>(f.count));
    m_passes.clear();
    int soFar = 1;
    int remaining = n;
    for (int radix : factors) {
        remaining /= radix;
        m_passes.push_back({radix, soFar, remaining, 0, 0});
        soFar *= radix;
    }
    buildPermutation(n, factors);
    buildTables();
    allocateValues(n);
    m_n = n;
}

// The page offsets of the two arrays differ by half a page. A group of a late pass reads values a
// power of two apart; lines of both arrays at equal page offsets would compete for the same cache
// sets and evict each other within a group.
void FFTPlan::allocateValues(int n) {
    constexpr std::size_t kPage = 4096 / sizeof(double);
    const auto count = static_cast<std::size_t>(n);
    const std::size_t skew = (kPage + kPage / 2 - count % kPage) % kPage;
    m_values.resize(2 * count + skew);
    m_re = m_values.data();
    m_im = m_values.data() + count + skew;
}

// Mixed-radix digit reversal: a counter per factor steps the source index through the input in
// the order the passes expect their groups.
void FFTPlan::buildPermutation(int n, std::span<const int> factors) {
    const std::size_t count = factors.size();
    // remaining[i]: n divided by the product of the first i factors.
    std::array<int, kMaxFFTFactors + 1> remaining{};
    remaining[0] = n;
    for (std::size_t i = 0; i < count; ++i)
        remaining[i + 1] = remaining[i] / factors[i];
    std::array<int, kMaxFFTFactors> counter{};
    m_permutation.assign(static_cast<std::size_t>(n), 0);
    int k = 0;
    for (int i = 0; i < n - 1; ++i) {
        m_permutation[static_cast<std::size_t>(i)] = k;
        k += remaining[1];
        ++counter[0];
        // The last counter never wraps: the loop stops one value before it would.
        for (std::size_t j = 0; j + 1 < count && counter[j] >= factors[j]; ++j) {
            counter[j] = 0;
            k = k - remaining[j] + remaining[j + 2];
            ++counter[j + 1];
        }
    }
    m_permutation[static_cast<std::size_t>(n - 1)] = n - 1;
}

// The tables hold what the recurrences give, one cos/sin pair per table and a complex product
// per further entry. Building them once per length saves repeating the products every call.
void FFTPlan::buildTables() {
    m_rootRe.clear();
    m_rootIm.clear();
    m_twiddles.clear();
    for (Pass& pass : m_passes) {
        const int radix = pass.radix;
        pass.rootOffset = m_rootRe.size();
        if (!hasOwnButterfly(radix)) {
            double stepRe, stepIm;
            unitRoot(radix, stepRe, stepIm);
            double re = stepRe, im = stepIm;
            m_rootRe.push_back(1.0);
            m_rootIm.push_back(0.0);
            for (int m = 1; m < radix; ++m) {
                m_rootRe.push_back(re);
                m_rootIm.push_back(im);
                butterfly::turn(re, im, stepRe, stepIm);
            }
        }
        pass.twiddleOffset = m_twiddles.size();
        if (pass.soFar == 1)
            continue;
        m_twiddles.resize(pass.twiddleOffset + passes::twiddleTableSize(pass.soFar, radix));
        double* g = m_twiddles.data() + pass.twiddleOffset;
        double wRe, wIm, twRe = 1.0, twIm = 0.0;
        unitRoot(pass.soFar * radix, wRe, wIm);
        for (int d = 0; d < pass.soFar; ++d) {
            g[passes::twiddleIndex(d, 0, radix)] = 1.0;
            g[passes::twiddleIndex(d, 0, radix) + passes::kLanes] = 0.0;
            double re = twRe, im = twIm;
            for (int m = 1; m < radix; ++m) {
                g[passes::twiddleIndex(d, m, radix)] = re;
                g[passes::twiddleIndex(d, m, radix) + passes::kLanes] = im;
                butterfly::turn(re, im, twRe, twIm);
            }
            butterfly::turn(twRe, twIm, wRe, wIm);
        }
    }
}

void FFTPlan::runPasses() {
    for (const Pass& pass : m_passes) {
        const passes::PassData p{m_re, m_im, pass.soFar, pass.remaining,
                                 m_twiddles.data() + pass.twiddleOffset};
        switch (pass.radix) {
        case 2:
            passes::runPass<2, butterfly::Radix2>(p);
            break;
        case 3:
            passes::runPass<3, butterfly::Radix3>(p);
            break;
        case 4:
            passes::runPass<4, butterfly::Radix4>(p);
            break;
        case 5:
            passes::runPass<5, butterfly::Radix5>(p);
            break;
        case 8:
            passes::runPass<8, butterfly::Radix8>(p);
            break;
        case 10:
            passes::runPass<10, butterfly::Radix10>(p);
            break;
        default:
            runGeneralPass(pass, p);
            break;
        }
    }
}

void FFTPlan::runGeneralPass(const Pass& pass, const passes::PassData& p) {
    const int radix = pass.radix;
    const int soFar = pass.soFar;
    double* zRe = m_scratch.data();
    double* zIm = zRe + radix;
    double* pairs = zIm + radix;
    for (int d = 0; d < soFar; ++d) {
        for (std::ptrdiff_t block = 0, at = d; block < p.remaining; ++block, at += soFar * radix) {
            for (int m = 0; m < radix; ++m) {
                zRe[m] = p.re[at + m * soFar];
                zIm[m] = p.im[at + m * soFar];
                if (d > 0 && m > 0) {
                    const double* t = p.twiddles + passes::twiddleIndex(d, m, radix);
                    butterfly::turn(zRe[m], zIm[m], t[0], t[passes::kLanes]);
                }
            }
            butterfly::general(zRe, zIm, radix, m_rootRe.data() + pass.rootOffset,
                               m_rootIm.data() + pass.rootOffset, pairs);
            for (int m = 0; m < radix; ++m) {
                p.re[at + m * soFar] = zRe[m];
                p.im[at + m * soFar] = zIm[m];
            }
        }
    }
}

void FFTPlan::ComplexFFT(std::span<const Complex> input, std::span<Complex> output) {
    if (input.size() != output.size())
        throw std::invalid_argument("ComplexFFT: input and output differ in size");
    if (overlaps(input, output))
        throw std::invalid_argument("ComplexFFT: input and output overlap");
    if (input.empty())
        return;
    if (input.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::invalid_argument("ComplexFFT: too many values");
    prepare(static_cast<int>(input.size()));
    for (std::size_t i = 0; i < input.size(); ++i) {
        const Complex& x = input[static_cast<std::size_t>(m_permutation[i])];
        m_re[i] = x.re;
        m_im[i] = x.im;
    }
    runPasses();
    for (std::size_t i = 0; i < output.size(); ++i)
        output[i] = {m_re[i], m_im[i]};
}

void FFTPlan::FFTMagnitudes(std::span<const float> input, std::span<float> output, int n) {
    if (n < 1 || n > kMaxMagnitudesLength)
        return;
    const auto count = static_cast<std::size_t>(n);
    if (input.size() < count + 1 || output.size() < count / 2 + 1)
        throw std::invalid_argument("FFTMagnitudes: arrays shorter than the length needs");
    prepare(n);
    // Input element j + 1 is value j of the transform; the reordering puts it where the first
    // pass wants it.
    for (std::size_t i = 0; i < count; ++i)
        m_re[i] = tenth(input[static_cast<std::size_t>(m_permutation[i]) + 1]);
    std::fill(m_im, m_im + n, 0.0);
    runPasses();
    for (std::size_t j = 0; j < count / 2; ++j) {
        output[j + 1] = static_cast<float>(std::sqrt(m_re[j] * m_re[j] + m_im[j] * m_im[j]) / 50.0);
    }
}

void ComplexFFT(std::span<const Complex> input, std::span<Complex> output) {
    thread_local FFTPlan plan;
    plan.ComplexFFT(input, output);
}

void FFTMagnitudes(std::span<const float> input, std::span<float> output, int n) {
    thread_local FFTPlan plan;
    plan.FFTMagnitudes(input, output, n);
}

} // namespace cantorix::pitch
