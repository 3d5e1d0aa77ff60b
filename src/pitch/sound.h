#pragma once
// TSound, the pitch analysis: keeps the newest captured microphone bytes, windows the latest
// block of 4096 samples and finds the strongest voice fundamental among 27 candidate pitches.
// Borrows the capture stream; owns its byte store and fixed analysis arrays. Main thread only.

#include "pitch/fft.h"
#include "pitch/wave_stream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace cantorix::pitch {

class TSoundCaptureStream;

// The capture format the analysis assumes, whatever the device really delivers:
// 16-bit signed little-endian mono PCM at 44100 samples per second.
inline constexpr std::int32_t kAssumedSampleRate = 44100;
inline constexpr std::int32_t kSamplesPerBlock = 4096;
inline constexpr std::int32_t kBlockBytes = 2 * kSamplesPerBlock;
// Length of Samples and Spectrum; both are indexed 1 .. kAnalysisArrayLength.
inline constexpr std::int32_t kAnalysisArrayLength = 8192;

// A capture buffer larger than this is cut down to its newest kBytesKeptByTrim bytes.
inline constexpr std::size_t kTrimAbove = 99999;
inline constexpr std::size_t kBytesKeptByTrim = 16384;

// Peaks at or below the floor get the fixed gain kNormalisedPeak / kNormalisationFloor.
inline constexpr double kNormalisationFloor = 5000.0;
inline constexpr double kNormalisedPeak = 10.0;

// Candidate i stands for the pitch kBaseFrequency × kSemitoneRatio^i. The ratio is the decimal
// value the game was tuned with, not the exact twelfth root of 2.
inline constexpr int kFirstCandidate = 10;
inline constexpr int kLastCandidate = 36;
inline constexpr double kSemitoneRatio = 1.05946309436;
inline constexpr double kBaseFrequency = 65.41;
inline constexpr double kHarmonicWeight = 1.0;
// A candidate counts only when its fundamental's magnitude reaches this…
inline constexpr double kFundamentalThreshold = 3.0;
// …and the best candidate is reported only when its score reaches this.
inline constexpr double kAcceptanceThreshold = 1.0;

// Element 0 is not part of the array: it stays 0, so that index 0 reads as silence.
using AnalysisArray = std::array<float, kAnalysisArrayLength + 1>;

// The spectrum indices of the 1st to 4th harmonic of a candidate, each rounded half to even.
struct CandidateBins {
    std::int32_t b1 = 0, b2 = 0, b3 = 0, b4 = 0;
};
CandidateBins candidateBins(int candidate, std::int32_t sampleCount);

// The candidate search over a smoothed, normalised spectrum: the fundamental index b1 of the
// candidate with the highest score (the lowest candidate on equal scores), or 0 when none is
// accepted. Indices outside the array, and index 0, read as magnitude 0.
std::int32_t FindPitch(std::span<const float, kAnalysisArrayLength + 1> spectrum,
                       std::int32_t sampleCount);

// The sung value the game compares with a note's pitch: the low byte of DetectedBin − 1, so
// that silence (0) becomes kSilenceSungValue.
inline constexpr std::uint8_t kSilenceSungValue = 255;
inline std::uint8_t sungValueOf(std::int32_t detectedBin) {
    return static_cast<std::uint8_t>(detectedBin - 1);
}

class TSound {
public:
    TSound();
    TSound(const TSound&) = delete;
    TSound& operator=(const TSound&) = delete;

    // The capture stream's filled-buffer handler: appends the bytes the sender has waiting
    // (its filledSize()), trims the store, decodes the newest 4096 samples and windows them.
    // Exceptions of the stream's read pass on, with the store unchanged.
    void OnSoundCaptured(TCustomWaveStream& sender);
    // Transforms the current windowed block and sets detectedBin(). Gives the same result
    // however often it runs on one block.
    void Analyse();

    // 0 until the first capture event, kSamplesPerBlock afterwards.
    std::int32_t sampleCount() const { return m_sampleCount; }
    // Samples[i] for i in 1 .. 8192, else 0: the windowed block is 1 .. 4096, the rest stays 0.
    float sample(std::int32_t i) const;
    std::span<const float, kAnalysisArrayLength + 1> samples() const { return m_samples; }
    // Spectrum[k]: after Analyse, k ≥ 2 holds the smoothed, normalised magnitude of bin k − 2.
    std::span<const float, kAnalysisArrayLength + 1> spectrum() const { return m_spectrum; }
    // The spectrum index of the detected fundamental, or 0 when no voice was found.
    std::int32_t detectedBin() const { return m_detectedBin; }
    std::uint8_t sungValue() const { return sungValueOf(m_detectedBin); }
    // The gain the latest Analyse applied to the spectrum.
    double normalisationFactor() const { return m_normalisationFactor; }
    // The newest captured bytes, oldest first.
    std::span<const std::uint8_t> captureBuffer() const { return m_captureBuffer; }
    // The newest out.size() captured samples, oldest first, decoded as they were captured
    // (unscaled, unwindowed); silence stands for samples older than the first captured one.
    // Counted back from the newest byte, as the block of the analysis is.
    void newestSamples(std::span<std::int16_t> out) const;

    // The microphone stream the game created for this analysis; not owned.
    TSoundCaptureStream* captureStream() const { return m_captureStream; }
    void setCaptureStream(TSoundCaptureStream* stream) { m_captureStream = stream; }

private:
    void append(TCustomWaveStream& stream);
    void TrimCaptureBuffer();
    void LoadSamples();
    void ApplyWindow();
    void smoothSpectrum();
    void NormaliseSpectrum();

    std::int32_t m_sampleCount = 0;
    AnalysisArray m_samples{};
    AnalysisArray m_spectrum{};
    TSoundCaptureStream* m_captureStream = nullptr;
    std::vector<std::uint8_t> m_captureBuffer;
    std::int32_t m_detectedBin = 0;
    double m_normalisationFactor = 0.0;
    FFTPlan m_fft;
};

} // namespace cantorix::pitch
