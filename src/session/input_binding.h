#pragma once
// The rules of the singers screen that need no window: which listed input a saved binding names
// (boundInput), which input a singer is singing into (LoudestInputDetector) and which inputs
// carry one and the same signal (SameSignalDetector). The detectors are fed one tick of every
// listed input at a time and keep only counts. Main thread only.

#include "singer_inputs.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace cantorix::session {

// What a binding needs to know of a listed input: its address, and for a sound card's channel
// the address the releases that counted a card's channels across all its capture devices gave
// it ("USB:2"), set only while every capture device of the card lists its channels, since
// only then is that count the one those releases made.
template <typename T>
concept ListedInputAddresses = requires(const T& input) {
    { input.address } -> std::convertible_to<const InputAddress&>;
    { input.formerAddress } -> std::convertible_to<const std::optional<InputAddress>&>;
};

// Whether saved is an address those releases kept: a sound card's channel without its device.
bool isFormerCardAddress(const InputAddress& saved);

// The input a saved binding names among those listed now; null: the binding is not connected
// and its singer sits out. An address names the input listed at it and no other: never a
// neighbour that took its place. A former card address names the input listed with it as its
// former address, or nothing while that count is uncertain.
template <ListedInputAddresses Input>
const Input* boundInput(const InputAddress& saved, const std::vector<Input>& listed) {
    for (const Input& input : listed)
        if (input.address == saved)
            return &input;
    if (isFormerCardAddress(saved))
        for (const Input& input : listed)
            if (input.formerAddress == saved)
                return &input;
    return nullptr;
}

// The level of a block of 16-bit samples in dB relative to full scale (a full-scale square wave
// is 0 dB); kSilenceDb for an empty or silent block.
inline constexpr double kSilenceDb = -120.0;
double blockLevelDb(std::span<const std::int16_t> samples);

// Names the input a singer is singing into: the one whose level stays at least kLeadDb above
// every other input's, and above the singing floor, for kHeldTicks ticks in a row.
class LoudestInputDetector {
public:
    static constexpr double kLeadDb = 12.0;
    // Quieter than this is a room, not a voice; with a single input nothing else would stop
    // its background noise from being "heard".
    static constexpr double kSingingFloorDb = -45.0;
    // One second of 50 ms ticks.
    static constexpr int kHeldTicks = 20;

    // levelsDb[i]: input i's level over the last tick. Returns the input's index on the tick
    // its lead has lasted kHeldTicks, then starts counting afresh. A different number of
    // inputs than last tick starts afresh too (the list was taken again).
    std::optional<std::size_t> feed(std::span<const double> levelsDb);
    void reset();

private:
    std::optional<std::size_t> m_leader;
    int m_heldTicks = 0;
    std::size_t m_inputCount = 0;
};

// Finds pairs of inputs that carry the same signal (one microphone heard on both channels of a
// receiver): their correlation over each tick's samples stays above kCorrelation for
// kHeldSamples samples. A pair is pointed out until as long a stretch shows them different.
// Ticks in which either input is silent neither count nor break a stretch.
class SameSignalDetector {
public:
    static constexpr double kCorrelation = 0.9;
    // Two seconds at 44100 Hz.
    static constexpr std::int64_t kHeldSamples = 2 * 44100;
    // Below this an input carries no signal worth comparing.
    static constexpr double kSignalFloorDb = -60.0;

    using Pair = std::pair<std::size_t, std::size_t>; // first < second

    // blocks[i]: the samples input i delivered this tick, compared over the length they share.
    // A different number of inputs than last tick starts afresh.
    void feed(std::span<const std::span<const std::int16_t>> blocks);
    // The pairs pointed out now, in order.
    std::vector<Pair> sameSignalPairs() const;
    void reset();

private:
    struct PairState {
        std::int64_t alikeSamples = 0;  // this stretch of correlated ticks
        std::int64_t unlikeSamples = 0; // this stretch of uncorrelated ticks
        bool same = false;
    };
    PairState& state(std::size_t first, std::size_t second);

    std::size_t m_inputCount = 0;
    std::vector<PairState> m_pairs; // upper triangle, row by row
};

// Pearson's correlation of two equally long blocks; nothing when either is constant.
std::optional<double> signalCorrelation(std::span<const std::int16_t> a,
                                        std::span<const std::int16_t> b);

} // namespace cantorix::session
