#pragma once
// Mixed-radix decimation-in-time FFT for any length whose prime factors are at most 1021, and the
// magnitude spectrum the pitch analysis reads. Pure computation. An FFTPlan owns its work arrays
// and tables and serves one thread; the free functions use a plan of the calling thread.

#include <cstddef>
#include <span>
#include <stdexcept>
#include <vector>

namespace cantorix::pitch {

namespace passes {
struct PassData;
}

// A length the transform cannot handle (a prime factor above 1021): "Blad w FFT".
class EMathError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Complex {
    double re = 0.0;
    double im = 0.0;
};

// FFTMagnitudes does nothing for lengths outside 1 .. kMaxMagnitudesLength.
inline constexpr int kMaxMagnitudesLength = 8192;
// Largest radix the transform has a butterfly for; a larger prime factor is an error.
inline constexpr int kMaxFFTRadix = 1021;
// Every factor is at least 3 but for a single 2 or 4, so no int length has more than 19.
inline constexpr int kMaxFFTFactors = 20;

// The radices of the passes, in the order they run, for a transform of length n >= 1.
std::vector<int> FFTFactors(int n);

// The factor lists, twiddle tables and reordering of the last length transformed, and the array
// being transformed, kept between calls: once a length has been seen, a call allocates nothing.
// Not copyable: the array pointers point into its own storage.
class FFTPlan {
public:
    FFTPlan();
    FFTPlan(const FFTPlan&) = delete;
    FFTPlan& operator=(const FFTPlan&) = delete;

    // Forward DFT without normalisation, Y[k] = sum of x[n] * e^(-2 pi i k n / N) with N the
    // common size of the two arrays, which must not overlap. Raises EMathError when N has a prime
    // factor above 1021; output is then untouched.
    void ComplexFFT(std::span<const Complex> input, std::span<Complex> output);

    // Magnitudes of bins 0 .. n/2 - 1 of input elements 1 .. n, each element divided by 10 before
    // the transform and each magnitude by 50 after it, written to output elements 1 .. n/2.
    // Element 0 of either array is never touched, so input needs n + 1 elements and output
    // n/2 + 1 (std::invalid_argument otherwise). For n outside 1 .. 8192 nothing happens.
    // Raises EMathError, before writing anything, when n has a prime factor above 1021.
    void FFTMagnitudes(std::span<const float> input, std::span<float> output, int n);

private:
    struct Pass {
        int radix = 0;
        int soFar = 0;                 // product of the radices of the earlier passes
        int remaining = 0;             // number of blocks of soFar * radix values
        std::size_t twiddleOffset = 0; // into m_twiddles, when soFar > 1
        std::size_t rootOffset = 0;    // into m_rootRe/Im, for a radix without its own butterfly
    };

    void prepare(int n);
    void buildPermutation(int n, std::span<const int> factors);
    void buildTables();
    void allocateValues(int n);
    void runPasses();
    void runGeneralPass(const Pass& pass, const passes::PassData& data);

    int m_n = 0; // length the members below are built for; 0 before the first transform
    std::vector<Pass> m_passes;
    std::vector<int> m_permutation;         // value i of the reordered array is input value [i]
    std::vector<double> m_twiddles;         // per pass, what the recurrence over groups gives
    std::vector<double> m_rootRe, m_rootIm; // per general pass, what the radix recurrence gives
    std::vector<double> m_values;           // storage of the array being transformed, in place:
    double* m_re = nullptr;                 // its real parts
    double* m_im = nullptr;                 // and its imaginary parts
    std::vector<double> m_scratch; // one group of a general radix, its pair sums and differences
};

// The same operations on a plan kept per calling thread, so repeated calls do not allocate.
void ComplexFFT(std::span<const Complex> input, std::span<Complex> output);
void FFTMagnitudes(std::span<const float> input, std::span<float> output, int n);

} // namespace cantorix::pitch
