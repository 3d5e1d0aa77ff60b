#pragma once
// The queue as guests and the host see it: each entry's song, its singers' names, when it is
// expected to start and whether it is the viewer's own, and what the guest whose song is next is
// told. Pure: the caller gives the songs' facts and how long the song being sung still plays.

#include "party_queue.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::party {

// Between one song's end and the next one's start: the singers change places.
inline constexpr std::int64_t kChangeoverMs = 30'000;
// A song whose length is not known yet counts as this long.
inline constexpr std::int64_t kUnknownSongMs = 210'000;

struct SongFacts {
    std::string artist, title;
    std::int64_t lengthMs = 0; // 0: not known
};

struct QueueRow {
    EntryId entry = 0;
    std::string artist, title; // empty when the song left the library
    bool gone = false;         // "no longer in the library": it will be skipped
    std::vector<std::string> singers;
    std::int64_t startsInMs = 0; // from now
    bool mine = false;           // the viewer sings it
};

// Rows in the queue's order. `facts` answers for a queue entry's song (none: it left the
// library); `remainingMs` is what is left of the song being sung (0 when none is).
std::vector<QueueRow>
queueRows(const PartyQueue& queue,
          const std::function<std::optional<SongFacts>(const std::string&)>& facts,
          std::int64_t remainingMs, std::optional<GuestId> viewer);

// What the page of the guest whose song is next says: "You're next: Title — get ready".
std::string nextNotice(const QueueRow& row);

} // namespace cantorix::party
