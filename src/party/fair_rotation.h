#pragma once
// The order a party's waiting songs are sung in, as a rule of who has waited longest: each round
// every guest with a song waiting sings once, and a round goes in order of how long each guest
// has waited since they last sang (those who never sang first, in the order they joined). A duet
// is a turn for each guest singing it. Pure: no clock, no screen.

#include <cstdint>
#include <optional>
#include <vector>

namespace cantorix::party {

using GuestId = std::int64_t;
using EntryId = std::int64_t;

// What the rule knows of a guest: when they joined and when they last sang, as instants of one
// clock (seconds, say); a guest who never sang has none.
struct GuestWait {
    GuestId guest = 0;
    std::int64_t joinedAt = 0;
    std::optional<std::int64_t> lastSangAt = std::nullopt;
};

// A waiting song as the rule sees it: who added it (it is their pick) and the other guest
// singing it, for a duet with a guest in line.
struct WaitingSong {
    EntryId entry = 0;
    GuestId owner = 0;
    std::optional<GuestId> partner = std::nullopt;
};

// Whether `a` has waited longer than `b` to sing again.
bool waitedLonger(const GuestWait& a, const GuestWait& b);

// The songs in the order the rotation sings them. `songs` is in the order they were added, and
// each guest's own picks are sung in that order. A guest's pick whose partner has already sung
// in the round waits for the round's end, so that nobody sings twice in a round while another
// guest waits. Guests missing from `guests` count as never having sung and joined last.
std::vector<EntryId> rotationOrder(const std::vector<WaitingSong>& songs,
                                   const std::vector<GuestWait>& guests);

} // namespace cantorix::party
