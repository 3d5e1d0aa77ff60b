#include "pitch/sound.h"

#include <algorithm>
#include <cmath>

namespace cantorix::pitch {

namespace {

// Nearest integer, halves to even (the rounding mode the program runs with).
std::int32_t roundHalfEven(double value) {
    return static_cast<std::int32_t>(std::nearbyint(value));
}

// One notification carries about 4410 bytes and a trim happens above 99999, so this much room
// means the store never reallocates while the game runs at its usual pace.
constexpr std::size_t kReservedCaptureBytes = 2 * (kTrimAbove + 1);

} // namespace

CandidateBins candidateBins(int candidate, std::int32_t sampleCount) {
    const double f =
        std::pow(kSemitoneRatio, candidate) * kBaseFrequency * sampleCount / kAssumedSampleRate;
    return {roundHalfEven(f), roundHalfEven(2 * f), roundHalfEven(3 * f), roundHalfEven(4 * f)};
}

std::int32_t FindPitch(std::span<const float, kAnalysisArrayLength + 1> spectrum,
                       std::int32_t sampleCount) {
    const auto at = [&spectrum](std::int32_t k) -> double {
        return k >= 1 && k <= kAnalysisArrayLength ? spectrum[static_cast<std::size_t>(k)] : 0.0;
    };
    double best = 0.0;
    std::int32_t bestBin = 0;
    for (int i = kFirstCandidate; i <= kLastCandidate; ++i) {
        const CandidateBins b = candidateBins(i, sampleCount);
        double score = at(b.b2) * kHarmonicWeight + at(b.b1) * kHarmonicWeight +
                       at(b.b3) * kHarmonicWeight + at(b.b4) * kHarmonicWeight;
        if (at(b.b1) < kFundamentalThreshold)
            score = 0.0;
        // Strictly greater: on equal scores the lower candidate keeps the lead.
        if (score > best) {
            best = score;
            bestBin = b.b1;
        }
    }
    return best >= kAcceptanceThreshold ? bestBin : 0;
}

TSound::TSound() {
    m_captureBuffer.reserve(kReservedCaptureBytes);
}

float TSound::sample(std::int32_t i) const {
    return i >= 1 && i <= kAnalysisArrayLength ? m_samples[static_cast<std::size_t>(i)] : 0.0f;
}

void TSound::newestSamples(std::span<std::int16_t> out) const {
    const std::size_t have = std::min(out.size(), m_captureBuffer.size() / 2);
    const std::size_t silent = out.size() - have;
    std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(silent), std::int16_t{0});
    const std::uint8_t* from = m_captureBuffer.data() + (m_captureBuffer.size() - 2 * have);
    for (std::size_t i = 0; i < have; ++i)
        out[silent + i] = static_cast<std::int16_t>(from[2 * i] | from[2 * i + 1] << 8);
}

void TSound::OnSoundCaptured(TCustomWaveStream& sender) {
    append(sender);
    TrimCaptureBuffer();
    LoadSamples();
    ApplyWindow();
}

void TSound::append(TCustomWaveStream& stream) {
    const std::int32_t waiting = stream.filledSize();
    if (waiting <= 0)
        return;
    const std::size_t oldSize = m_captureBuffer.size();
    m_captureBuffer.resize(oldSize + static_cast<std::size_t>(waiting));
    std::int32_t got = 0;
    try {
        got = stream.read(m_captureBuffer.data() + oldSize, waiting);
    } catch (...) {
        m_captureBuffer.resize(oldSize);
        throw;
    }
    m_captureBuffer.resize(oldSize + static_cast<std::size_t>(std::clamp(got, 0, waiting)));
}

void TSound::TrimCaptureBuffer() {
    if (m_captureBuffer.size() <= kTrimAbove)
        return;
    // Moving the newest bytes to the front in place gives what a copy out and back would.
    std::copy(m_captureBuffer.end() - static_cast<std::ptrdiff_t>(kBytesKeptByTrim),
              m_captureBuffer.end(), m_captureBuffer.begin());
    m_captureBuffer.resize(kBytesKeptByTrim);
}

// The newest 8192 bytes as 4096 samples scaled by 2. Until that many bytes have been captured
// the block reaches back before the first byte, and those bytes read as silence.
void TSound::LoadSamples() {
    m_sampleCount = kSamplesPerBlock;
    std::array<std::uint8_t, kBlockBytes> block{};
    const std::size_t have = std::min<std::size_t>(m_captureBuffer.size(), kBlockBytes);
    std::copy(m_captureBuffer.end() - static_cast<std::ptrdiff_t>(have), m_captureBuffer.end(),
              block.end() - static_cast<std::ptrdiff_t>(have));
    for (std::int32_t i = 1; i <= m_sampleCount; ++i) {
        const auto at = 2 * static_cast<std::size_t>(i - 1);
        const auto value = static_cast<std::int16_t>(block[at] | block[at + 1] << 8);
        m_samples[static_cast<std::size_t>(i)] = static_cast<float>(2 * value);
    }
}

// A triangle rising to 1 at the middle sample and falling to 0 at the last. Both halves are
// exact powers-of-two fractions times the sample, so each product is rounded once.
void TSound::ApplyWindow() {
    const std::int32_t half = m_sampleCount / 2;
    for (std::int32_t i = 1; i <= half; ++i) {
        float& s = m_samples[static_cast<std::size_t>(i)];
        s = static_cast<float>(static_cast<double>(i) * s / half);
    }
    for (std::int32_t i = 1; i <= half; ++i) {
        float& s = m_samples[static_cast<std::size_t>(half + i)];
        s = static_cast<float>((1.0 - static_cast<double>(i) / half) * s);
    }
}

void TSound::Analyse() {
    // Element 1 of each array is the transform's element 0, which it never reads or writes.
    m_fft.FFTMagnitudes(std::span<const float>(m_samples).subspan(1),
                        std::span<float>(m_spectrum).subspan(1), m_sampleCount);
    m_spectrum[2] = 0.0f; // bin 0: the microphone's DC offset
    smoothSpectrum();
    NormaliseSpectrum();
    m_detectedBin = FindPitch(m_spectrum, m_sampleCount);
}

// A three-point mean run in place and upwards, so each step sees its left neighbour already
// smoothed: peaks spread and move slightly towards higher indices, and the pitch table counts
// on that shift. As everywhere here, sums are taken in double and rounded to float once when
// stored: a sum of a few floats is then exact unless their sizes lie far apart, so the bits do
// not depend on the order of the terms or on the build.
void TSound::smoothSpectrum() {
    for (std::int32_t k = 2; k <= m_sampleCount - 1; ++k) {
        const auto at = static_cast<std::size_t>(k);
        m_spectrum[at] = static_cast<float>(
            (static_cast<double>(m_spectrum[at - 1]) + m_spectrum[at] + m_spectrum[at + 1]) / 3.0);
    }
}

// Loud input has its peak scaled to 10; quiet input keeps a fixed gain, so noise is not blown
// up into a pitch. The last element takes part in the peak but is not scaled.
void TSound::NormaliseSpectrum() {
    double peak = kNormalisationFloor;
    for (std::int32_t k = 1; k <= m_sampleCount; ++k)
        peak = std::max<double>(peak, m_spectrum[static_cast<std::size_t>(k)]);
    m_normalisationFactor = kNormalisedPeak / peak;
    for (std::int32_t k = 1; k <= m_sampleCount - 1; ++k) {
        float& s = m_spectrum[static_cast<std::size_t>(k)];
        s = static_cast<float>(s * m_normalisationFactor);
    }
}

} // namespace cantorix::pitch
