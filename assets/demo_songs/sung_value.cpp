#include "sung_value.h"

#include <cmath>
#include <limits>

namespace cantorix::assets::demo {

namespace {

constexpr double kSampleRate = 44100.0;
constexpr double kBlockSize = 4096.0;
constexpr double kSemitoneRatio = 1.05946309436;
constexpr double kBaseFrequency = 65.41;
constexpr int kFirstCandidate = 10;
constexpr int kLastCandidate = 36;
constexpr double kIndexOffset = 2.0;    // spectrum index k holds transform bin k - 2
constexpr double kSmoothingLean = 0.35; // the running mean's pull towards the lower index
constexpr double kBorderMargin = 0.15;  // indices a tone must keep from a decision border
constexpr double kFarthestReach = 1.1;  // beyond this the fundamental misses its candidate

// The spectrum index the analysis reads for candidate i's fundamental.
int candidateIndex(int i) {
    const double bin = std::pow(kSemitoneRatio, i) * kBaseFrequency * kBlockSize / kSampleRate;
    return static_cast<int>(std::nearbyint(bin)); // never a tie for these candidates
}

} // namespace

std::optional<int> sungValueForFrequency(double hz) {
    if (!(hz > 0.0))
        return std::nullopt;
    const double peak = hz * kBlockSize / kSampleRate + kIndexOffset - kSmoothingLean;
    int nearest = 0;
    int previous = 0;
    double nearestDistance = std::numeric_limits<double>::infinity();
    double runnerUpDistance = std::numeric_limits<double>::infinity();
    for (int i = kFirstCandidate; i <= kLastCandidate; ++i) {
        const int index = candidateIndex(i);
        if (index == previous)
            continue; // two candidates share an index; either reports the same value
        previous = index;
        const double distance = std::abs(peak - index);
        if (distance < nearestDistance) {
            runnerUpDistance = nearestDistance;
            nearestDistance = distance;
            nearest = index;
        } else if (distance < runnerUpDistance) {
            runnerUpDistance = distance;
        }
    }
    const double borderDistance = (runnerUpDistance - nearestDistance) / 2.0;
    if (borderDistance < kBorderMargin || nearestDistance > kFarthestReach)
        return std::nullopt;
    return nearest - 1;
}

} // namespace cantorix::assets::demo
