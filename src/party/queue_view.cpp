#include "queue_view.h"

#include "songs/medley_layout.h"

namespace cantorix::party {

namespace {

std::optional<SongFacts>
medleyFacts(const QueuedMedley& medley,
            const std::function<std::optional<SongFacts>(const std::string&)>& facts) {
    const songs::MedleyTiming timing;
    SongFacts joined;
    joined.title = medleyCaption(medley);
    std::size_t singing = 0;
    for (const std::string& songId : medley.songIds) {
        const std::optional<SongFacts> song = facts ? facts(songId) : std::nullopt;
        if (!song || song->medleyMs <= 0)
            continue;
        joined.artist += (singing++ == 0 ? "" : ", ") + song->title;
        joined.lengthMs += timing.leadInMs + song->medleyMs;
    }
    if (singing < songs::kMedleyFewestSongs)
        return std::nullopt;
    joined.lengthMs += timing.fadeMs;
    return joined;
}

} // namespace

std::optional<SongFacts>
entryFacts(const QueueEntry& entry,
           const std::function<std::optional<SongFacts>(const std::string&)>& facts) {
    if (entry.medley)
        return medleyFacts(*entry.medley, facts);
    return facts ? facts(entry.songId) : std::nullopt;
}

std::string medleyCaption(const QueuedMedley& medley) {
    return "Medley \xC2\xB7 " + std::to_string(medley.songIds.size()) + " songs \xC2\xB7 " +
           medley.from;
}

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
        const std::optional<SongFacts> song = entryFacts(entry, facts);
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
