#include "queue_view.h"

namespace cantorix::party {

std::vector<QueueRow>
queueRows(const PartyQueue& queue,
          const std::function<std::optional<SongFacts>(const std::string&)>& facts,
          std::int64_t remainingMs, std::optional<GuestId> viewer) {
    std::vector<QueueRow> rows;
    // The next song starts once the one being sung has ended and its singers have changed.
    std::int64_t startsIn = remainingMs > 0 ? remainingMs + kChangeoverMs : 0;
    for (const EntryId id : queue.order()) {
        const QueueEntry& entry = *queue.entry(id);
        QueueRow& row = rows.emplace_back();
        row.entry = id;
        const std::optional<SongFacts> song = facts ? facts(entry.songId) : std::nullopt;
        row.gone = !song;
        if (song) {
            row.artist = song->artist;
            row.title = song->title;
        }
        if (const Guest* owner = queue.guest(entry.owner))
            row.singers.push_back(owner->name);
        if (const Guest* partner = entry.partner ? queue.guest(*entry.partner) : nullptr)
            row.singers.push_back(partner->name);
        else if (!entry.partnerName.empty())
            row.singers.push_back(entry.partnerName);
        row.mine = viewer && (entry.owner == *viewer || entry.partner == viewer);
        row.startsInMs = startsIn;
        // A song that left the library is skipped at its turn and takes no time.
        if (song)
            startsIn += (song->lengthMs > 0 ? song->lengthMs : kUnknownSongMs) + kChangeoverMs;
    }
    return rows;
}

std::string nextNotice(const QueueRow& row) {
    return "You're next: " + row.title + " \xE2\x80\x94 get ready";
}

} // namespace cantorix::party
