#include "input_binding.h"

#include <algorithm>
#include <cmath>

namespace cantorix::session {

bool isFormerCardAddress(const InputAddress& saved) {
    return !saved.device && saved.card != kDefaultInputCard &&
           !saved.card.starts_with(kMicFileCard);
}

double blockLevelDb(std::span<const std::int16_t> samples) {
    if (samples.empty())
        return kSilenceDb;
    double sumOfSquares = 0;
    for (std::int16_t s : samples)
        sumOfSquares += static_cast<double>(s) * s;
    const double rms = std::sqrt(sumOfSquares / static_cast<double>(samples.size())) / 32768.0;
    if (rms <= 0)
        return kSilenceDb;
    return std::max(kSilenceDb, 20.0 * std::log10(rms));
}

std::optional<std::size_t> LoudestInputDetector::feed(std::span<const double> levelsDb) {
    if (levelsDb.size() != m_inputCount) {
        reset();
        m_inputCount = levelsDb.size();
    }
    std::optional<std::size_t> leader;
    if (!levelsDb.empty()) {
        const auto loudest = std::max_element(levelsDb.begin(), levelsDb.end());
        const auto index = static_cast<std::size_t>(loudest - levelsDb.begin());
        bool leads = *loudest >= kSingingFloorDb;
        for (std::size_t i = 0; leads && i < levelsDb.size(); ++i)
            leads = i == index || *loudest - levelsDb[i] >= kLeadDb;
        if (leads)
            leader = index;
    }
    if (!leader || leader != m_leader) {
        m_leader = leader;
        m_heldTicks = leader ? 1 : 0;
    } else {
        ++m_heldTicks;
    }
    if (m_leader && m_heldTicks >= kHeldTicks) {
        const std::size_t heard = *m_leader;
        reset();
        m_inputCount = levelsDb.size();
        return heard;
    }
    return std::nullopt;
}

void LoudestInputDetector::reset() {
    m_leader.reset();
    m_heldTicks = 0;
    m_inputCount = 0;
}

std::optional<double> signalCorrelation(std::span<const std::int16_t> a,
                                        std::span<const std::int16_t> b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n < 2)
        return std::nullopt;
    double meanA = 0, meanB = 0;
    for (std::size_t i = 0; i < n; ++i) {
        meanA += a[i];
        meanB += b[i];
    }
    meanA /= static_cast<double>(n);
    meanB /= static_cast<double>(n);
    double covariance = 0, varianceA = 0, varianceB = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double da = a[i] - meanA, db = b[i] - meanB;
        covariance += da * db;
        varianceA += da * da;
        varianceB += db * db;
    }
    if (varianceA <= 0 || varianceB <= 0)
        return std::nullopt;
    return covariance / std::sqrt(varianceA * varianceB);
}

SameSignalDetector::PairState& SameSignalDetector::state(std::size_t first, std::size_t second) {
    // Row `first` of the upper triangle starts after the rows above it.
    const std::size_t rowStart = first * m_inputCount - first * (first + 1) / 2;
    return m_pairs[rowStart + (second - first - 1)];
}

void SameSignalDetector::feed(std::span<const std::span<const std::int16_t>> blocks) {
    if (blocks.size() != m_inputCount) {
        reset();
        m_inputCount = blocks.size();
        m_pairs.assign(m_inputCount * (m_inputCount - (m_inputCount > 0 ? 1 : 0)) / 2, PairState{});
    }
    std::vector<bool> carriesSignal(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i)
        carriesSignal[i] = blockLevelDb(blocks[i]) >= kSignalFloorDb;
    for (std::size_t first = 0; first < blocks.size(); ++first) {
        for (std::size_t second = first + 1; second < blocks.size(); ++second) {
            if (!carriesSignal[first] || !carriesSignal[second])
                continue;
            const std::size_t length = std::min(blocks[first].size(), blocks[second].size());
            const std::optional<double> r = signalCorrelation(blocks[first], blocks[second]);
            PairState& pair = state(first, second);
            if (r && *r > kCorrelation) {
                pair.alikeSamples += static_cast<std::int64_t>(length);
                pair.unlikeSamples = 0;
                if (pair.alikeSamples >= kHeldSamples)
                    pair.same = true;
            } else {
                pair.unlikeSamples += static_cast<std::int64_t>(length);
                pair.alikeSamples = 0;
                if (pair.unlikeSamples >= kHeldSamples)
                    pair.same = false;
            }
        }
    }
}

std::vector<SameSignalDetector::Pair> SameSignalDetector::sameSignalPairs() const {
    std::vector<Pair> pairs;
    std::size_t at = 0;
    for (std::size_t first = 0; first < m_inputCount; ++first)
        for (std::size_t second = first + 1; second < m_inputCount; ++second)
            if (m_pairs[at++].same)
                pairs.emplace_back(first, second);
    return pairs;
}

void SameSignalDetector::reset() {
    m_inputCount = 0;
    m_pairs.clear();
}

} // namespace cantorix::session
