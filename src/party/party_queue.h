#pragma once
// A party's queue of songs: the guests in line, the songs they wait to sing, the host's moves
// and the limits every request is checked against. The order is the fair rotation's (or first
// come, first served), with the entries the host moved standing where the host put them. Owns
// its guests and entries; pure rules, one thread, time given by the caller (seconds).

#include "fair_rotation.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cantorix::party {

struct Guest {
    GuestId id = 0;
    std::string name; // cleaned as players' names are
    // The player whose records this guest's performances are, once the host linked them.
    std::optional<std::int64_t> playerId = std::nullopt;
    std::int64_t joinedAt = 0;
    std::optional<std::int64_t> lastSangAt = std::nullopt;
    // What the guest's phone keeps to find the guest again after its page was closed; empty for
    // a guest the host added.
    std::string token = {};
    friend bool operator==(const Guest&, const Guest&) = default;
};

// A medley queued as one entry: its songs (song files), drawn when it was queued and sung in
// this order, and how they were chosen ("random", "marked"), for its caption.
struct QueuedMedley {
    std::vector<std::string> songIds;
    std::string from;
    friend bool operator==(const QueuedMedley&, const QueuedMedley&) = default;
};

struct QueueEntry {
    EntryId id = 0;
    // The song's identifier in the library, opaque to the queue.
    std::string songId;
    GuestId owner = 0;
    // A duet's partner: a guest in line, or only a name typed on the spot.
    std::optional<GuestId> partner = std::nullopt;
    std::string partnerName;
    std::optional<int> voice = std::nullopt; // the owner's voice of a duet, counted from 0
    std::int64_t addedAt = 0;
    int skips = 0;
    // A medley's entry, whose songId is empty: one turn in the rotation for all its songs.
    std::optional<QueuedMedley> medley = std::nullopt;
    friend bool operator==(const QueueEntry&, const QueueEntry&) = default;
};

// Why a request was refused; Accepted when it was not.
enum class QueueAnswer {
    Accepted,
    UnknownGuest,
    UnknownPartner,
    EmptyName,
    TooManyWaiting,
    QueueFull,
    AlreadyWaiting,
    SungRecently,
    NotYours,
    UnknownEntry,
};
// What a guest's page says for a refusal ("You already have 3 songs waiting.").
std::string answerText(QueueAnswer answer, int mostWaiting);

struct QueueSettings {
    int mostWaitingPerGuest = 3;
    bool rotation = true; // off: first come, first served
    bool allowSungRecently = false;
    bool paused = false; // nothing is taken from it while paused
    // The game goes from song to song by itself: after a song's score page (shown this long) a
    // "Next up" screen counts down to the queue's next song.
    bool takeFromQueue = false;
    int scorePageSeconds = 15;
    int nextUpSeconds = 20;
    friend bool operator==(const QueueSettings&, const QueueSettings&) = default;
};

// Everything a queue is made of, as it is kept between runs.
struct KeptQueue {
    std::vector<Guest> guests;
    std::vector<QueueEntry> entries; // in the order added
    std::vector<EntryId> hostOrder;  // the host's list; empty while the rotation orders
    std::set<EntryId> hostMoved;
    QueueSettings settings;
    friend bool operator==(const KeptQueue&, const KeptQueue&) = default;
};

class PartyQueue {
public:
    static constexpr std::size_t kMostEntries = 200;
    // A song sung within this many seconds is "sung recently".
    static constexpr std::int64_t kRecentSeconds = 60 * 60;

    struct SongRequest {
        GuestId guest = 0;
        std::string songId;
        std::optional<GuestId> partner = std::nullopt;
        std::string partnerName = {};
        std::optional<int> voice = std::nullopt;
        // A medley in place of a song: neither "already waiting" nor "sung recently" applies.
        std::optional<QueuedMedley> medley = std::nullopt;
    };
    struct Added {
        QueueAnswer answer = QueueAnswer::Accepted;
        EntryId entry = 0;
    };

    // A new guest under the cleaned name; none when nothing is left of it.
    std::optional<GuestId> join(std::string_view name, std::int64_t now, std::string token = {});
    // The guest whose phone keeps `token`; none for an empty or unknown one.
    const Guest* guestByToken(std::string_view token) const;
    QueueAnswer rename(GuestId guest, std::string_view name);
    // Removes the guest and their songs; duets they were the partner of keep their name.
    QueueAnswer removeGuest(GuestId guest);
    QueueAnswer link(GuestId guest, std::optional<std::int64_t> playerId);

    // `songLastSungAt`: when the song was last sung at this party, if it was.
    Added add(const SongRequest& request, std::int64_t now,
              std::optional<std::int64_t> songLastSungAt = std::nullopt);
    // By a guest (their own songs only) or, without one, by the host.
    QueueAnswer remove(EntryId entry, std::optional<GuestId> by = std::nullopt);
    // A guest's song goes after their next one.
    QueueAnswer moveLater(EntryId entry, GuestId by);
    // The host's moves: the entry stands at `index` of the order (0: it is sung next) and every
    // other entry keeps its place relative to the others. From then on the order is the host's
    // list: a song added later goes in where the rotation puts it among the entries the host did
    // not move, entries leave it as they are sung or taken out, and the rotation orders the queue
    // again once none of the entries the host moved is left.
    QueueAnswer hostMove(EntryId entry, std::size_t index);
    // Skipped at its turn: it goes back one place the first time, out of the queue the second.
    // Returns whether it is still waiting.
    bool skip(EntryId entry);
    void clear();

    // The entries in the order they are to be sung.
    std::vector<EntryId> order() const;
    // Takes the first entry to sing it (none while paused or empty); its singers sang `now`.
    std::optional<QueueEntry> takeNext(std::int64_t now);

    const QueueEntry* entry(EntryId id) const;
    const Guest* guest(GuestId id) const;
    const std::vector<Guest>& guests() const { return m_guests; }
    const std::vector<QueueEntry>& entries() const { return m_entries; } // in the order added
    // The host's list (empty while the rotation orders the queue) and the entries the host moved.
    const std::vector<EntryId>& hostOrder() const { return m_hostOrder; }
    const std::set<EntryId>& hostMoved() const { return m_hostMoved; }
    QueueSettings& settings() { return m_settings; }
    const QueueSettings& settings() const { return m_settings; }
    int waitingOf(GuestId guest) const;

    KeptQueue kept() const;
    // Restores a kept queue as it was (ids, order of adding, the host's list, the settings); a
    // host's list that does not hold exactly the entries is left to the rotation. The next ids
    // follow the largest restored.
    void restore(KeptQueue kept);

private:
    Guest* findGuest(GuestId id);
    std::vector<EntryId> rotationOrFirstCome() const;
    // The entry leaves the queue and the host's list.
    void take(EntryId entry);
    // Puts a newly added entry into the host's list.
    void placeAdded(EntryId entry);

    std::vector<Guest> m_guests;
    std::vector<QueueEntry> m_entries;
    std::vector<EntryId> m_hostOrder;
    std::set<EntryId> m_hostMoved;
    QueueSettings m_settings;
    GuestId m_nextGuest = 1;
    EntryId m_nextEntry = 1;
};

} // namespace cantorix::party
