#pragma once
// The word a singer earns at the end of each lyric line, from their share of the points the line
// offered. Pure.

#include <cstdint>

namespace cantorix::stage {

// Shares (points × 100 / possible) from which each word is earned, best first.
inline constexpr int kPerfectShare = 90;
inline constexpr int kGreatShare = 70;
inline constexpr int kGoodShare = 45;
inline constexpr int kOkShare = 20;

// "Perfect", "Great", "Good", "OK" or "Try again"; nullptr for a line that offered nothing (only
// freestyle notes, or no judged note at all).
inline const char* lineRatingWord(std::int32_t points, std::int32_t possible) {
    if (possible <= 0)
        return nullptr;
    const std::int64_t share = std::int64_t{points} * 100 / possible;
    if (share >= kPerfectShare)
        return "Perfect";
    if (share >= kGreatShare)
        return "Great";
    if (share >= kGoodShare)
        return "Good";
    if (share >= kOkShare)
        return "OK";
    return "Try again";
}

} // namespace cantorix::stage
