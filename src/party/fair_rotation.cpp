#include "fair_rotation.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <map>

namespace cantorix::party {

namespace {

// A guest as the rotation plays the queue forward: their picks still to place, the turns they
// have had in it and when they sang last, counting the turns placed so far.
struct Projected {
    GuestWait wait;
    std::deque<const WaitingSong*> picks;
    int turns = 0;
};

} // namespace

bool waitedLonger(const GuestWait& a, const GuestWait& b) {
    if (a.lastSangAt.has_value() != b.lastSangAt.has_value())
        return !a.lastSangAt.has_value();
    if (a.lastSangAt && *a.lastSangAt != *b.lastSangAt)
        return *a.lastSangAt < *b.lastSangAt;
    if (a.joinedAt != b.joinedAt)
        return a.joinedAt < b.joinedAt;
    return a.guest < b.guest;
}

std::vector<EntryId> rotationOrder(const std::vector<WaitingSong>& songs,
                                   const std::vector<GuestWait>& guests) {
    std::map<GuestId, Projected> projected;
    std::int64_t latest = std::numeric_limits<std::int64_t>::min() / 2;
    for (const GuestWait& wait : guests) {
        projected[wait.guest].wait = wait;
        latest = std::max({latest, wait.joinedAt, wait.lastSangAt.value_or(latest)});
    }
    const auto guest = [&](GuestId id) -> Projected& {
        auto [place, added] = projected.try_emplace(id);
        if (added)
            place->second.wait = {id, std::numeric_limits<std::int64_t>::max(), std::nullopt};
        return place->second;
    };
    for (const WaitingSong& song : songs) {
        guest(song.owner).picks.push_back(&song);
        if (song.partner)
            guest(*song.partner);
    }
    // Turns placed in the projection happen after everything that has happened.
    std::int64_t projectedNow = latest;
    std::vector<EntryId> order;
    order.reserve(songs.size());
    std::vector<Projected*> candidates;
    for (int round = 0; order.size() < songs.size(); ++round) {
        while (true) {
            candidates.clear();
            for (auto& [id, g] : projected)
                if (!g.picks.empty() && g.turns <= round)
                    candidates.push_back(&g);
            if (candidates.empty())
                break;
            std::sort(candidates.begin(), candidates.end(),
                      [](const Projected* a, const Projected* b) {
                          return waitedLonger(a->wait, b->wait);
                      });
            const auto partnerFree = [&](const Projected* g) {
                const WaitingSong& next = *g->picks.front();
                return !next.partner || *next.partner == next.owner ||
                       projected.at(*next.partner).turns <= round;
            };
            const auto free = std::find_if(candidates.begin(), candidates.end(), partnerFree);
            Projected& picker = **(free != candidates.end() ? free : candidates.begin());
            const WaitingSong& song = *picker.picks.front();
            picker.picks.pop_front();
            order.push_back(song.entry);
            ++projectedNow;
            for (Projected* singer : {&picker, song.partner && *song.partner != song.owner
                                                   ? &projected.at(*song.partner)
                                                   : nullptr}) {
                if (!singer)
                    continue;
                ++singer->turns;
                singer->wait.lastSangAt = projectedNow;
            }
        }
    }
    return order;
}

} // namespace cantorix::party
