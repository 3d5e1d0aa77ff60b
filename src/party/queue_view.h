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
    std::int64_t medleyMs = 0; // how long its medley part sings; 0: it has none
};

struct QueueRow {
    EntryId entry = 0;
    // A medley's row: the titles of its songs, and its caption ("Medley · 5 songs · random").
    std::string artist, title; // empty when the song left the library
    // "no longer in the library" (for a medley: too few of its songs are): it will be skipped
    bool gone = false;
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

// What an entry sings now; none when it can no longer be sung. A medley's facts are its songs'
// titles as the artist, its caption as the title and the length of its parts with their lead-ins;
// only its songs still in the library with a medley part count, and too few of them is none.
std::optional<SongFacts>
entryFacts(const QueueEntry& entry,
           const std::function<std::optional<SongFacts>(const std::string&)>& facts);

// A queued medley as the queue shows it: "Medley · 5 songs · random".
std::string medleyCaption(const QueuedMedley& medley);

// What the page of the guest whose song is next says: "You're next: Title — get ready".
std::string nextNotice(const QueueRow& row);

} // namespace cantorix::party
