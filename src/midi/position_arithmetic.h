#pragma once
// The integer rules of MIDI positions, in one place. Products are formed in 64 bits before
// dividing, so long files do not wrap mid-formula; results are stored back into 32-bit fields.

#include <algorithm>
#include <cstdint>

namespace cantorix::midi::detail {

// Division truncating toward zero. A zero divisor (a signature of 0 beats or a huge
// denominator) gives 0 rather than a trap: bars then stand still instead of taking the program
// down.
constexpr std::int64_t truncDiv(std::int64_t dividend, std::int64_t divisor) {
    return divisor == 0 ? 0 : dividend / divisor;
}

// The remainder matching truncDiv: dividend = quotient x divisor + remainder.
constexpr std::int64_t truncMod(std::int64_t dividend, std::int64_t divisor) {
    return divisor == 0 ? dividend : dividend % divisor;
}

// a x b / c, truncated.
constexpr std::int64_t mulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    return truncDiv(a * b, c);
}

// Milliseconds per quarter note of a tempo event's microseconds, truncated. A tempo under 1 ms
// per quarter counts as 1 ms: at 0 the time would stand still and playback never end.
constexpr std::int32_t tempoMilliseconds(std::int32_t microseconds) {
    return std::max(microseconds / 1000, 1);
}

// Ticks to milliseconds and back under a tempo (ms per quarter) and a PPQN, truncated. A
// division of 0 counts as one tick per quarter, for the same reason as the tempo above.
constexpr std::int64_t ticksToMs(std::int64_t ticks, std::int32_t tempo, std::int32_t ppqn) {
    return mulDiv(ticks, tempo, std::max(ppqn, 1));
}
constexpr std::int64_t msToTicks(std::int64_t milliseconds, std::int32_t tempo, std::int32_t ppqn) {
    return mulDiv(milliseconds, std::max(ppqn, 1), tempo);
}

// Stores into a 32-bit field, wrapping as a 32-bit register would.
constexpr std::int32_t narrow(std::int64_t value) {
    return static_cast<std::int32_t>(value);
}

// PPQN >> (exponent - 2) for eighths and shorter, PPQN << (2 - exponent) for halves and wholes.
constexpr std::int32_t ticksPerBeat(std::int32_t ppqn, std::int32_t exponent) {
    if (exponent >= 3)
        return exponent - 2 >= 31 ? 0 : ppqn >> (exponent - 2);
    if (exponent == 2)
        return ppqn;
    return ppqn << (2 - exponent);
}

} // namespace cantorix::midi::detail
