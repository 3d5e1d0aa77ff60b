#include "sqlite_queue_rows.h"

#include "platform/storage/sqlite_statement.h"

#include <algorithm>
#include <string>

namespace cantorix::platform {

using namespace sqlite_steps;

namespace {

struct SettingColumn {
    const char* name;
    std::int64_t (*get)(const party::QueueSettings&);
    void (*set)(party::QueueSettings&, std::int64_t);
};

// Kept by name, so that a later release may add settings without a new table.
constexpr SettingColumn kSettings[] = {
    {"most_waiting_per_guest",
     [](const party::QueueSettings& s) -> std::int64_t { return s.mostWaitingPerGuest; },
     [](party::QueueSettings& s, std::int64_t v) {
         s.mostWaitingPerGuest = static_cast<int>(std::clamp<std::int64_t>(v, 1, 200));
     }},
    {"rotation", [](const party::QueueSettings& s) -> std::int64_t { return s.rotation; },
     [](party::QueueSettings& s, std::int64_t v) { s.rotation = v != 0; }},
    {"allow_sung_recently",
     [](const party::QueueSettings& s) -> std::int64_t { return s.allowSungRecently; },
     [](party::QueueSettings& s, std::int64_t v) { s.allowSungRecently = v != 0; }},
    {"paused", [](const party::QueueSettings& s) -> std::int64_t { return s.paused; },
     [](party::QueueSettings& s, std::int64_t v) { s.paused = v != 0; }},
    {"take_from_queue",
     [](const party::QueueSettings& s) -> std::int64_t { return s.takeFromQueue; },
     [](party::QueueSettings& s, std::int64_t v) { s.takeFromQueue = v != 0; }},
    {"score_page_seconds",
     [](const party::QueueSettings& s) -> std::int64_t { return s.scorePageSeconds; },
     [](party::QueueSettings& s, std::int64_t v) {
         s.scorePageSeconds = static_cast<int>(std::clamp<std::int64_t>(v, 3, 600));
     }},
    {"next_up_seconds",
     [](const party::QueueSettings& s) -> std::int64_t { return s.nextUpSeconds; },
     [](party::QueueSettings& s, std::int64_t v) {
         s.nextUpSeconds = static_cast<int>(std::clamp<std::int64_t>(v, 3, 600));
     }},
};

} // namespace

party::KeptQueue readQueueRows(sqlite3* db) {
    party::KeptQueue queue;
    Statement guests(db, "SELECT id, name, player_id, joined_at, last_sang_at, token FROM "
                         "queue_guests ORDER BY id");
    while (guests.step()) {
        party::Guest& g = queue.guests.emplace_back();
        guests.readAll(0, g.id, g.name, g.playerId, g.joinedAt, g.lastSangAt, g.token);
    }
    Statement entries(db, "SELECT id, song_id, owner, partner, partner_name, voice, added_at, "
                          "skips, host_place, host_moved, medley_from FROM queue_entries "
                          "ORDER BY added");
    Statement medleySongs(db, "SELECT song_id FROM queue_medley_songs WHERE entry_id = ? "
                              "ORDER BY place");
    std::vector<std::pair<std::int64_t, party::EntryId>> hostPlaces;
    while (entries.step()) {
        party::QueueEntry& e = queue.entries.emplace_back();
        std::optional<std::int64_t> voice, hostPlace;
        std::optional<std::string> medleyFrom;
        std::int64_t moved = 0;
        entries.readAll(0, e.id, e.songId, e.owner, e.partner, e.partnerName, voice, e.addedAt,
                        e.skips, hostPlace, moved, medleyFrom);
        if (voice)
            e.voice = static_cast<int>(*voice);
        if (medleyFrom) {
            e.medley = party::QueuedMedley{.songIds = {}, .from = std::move(*medleyFrom)};
            medleySongs.bindAll(e.id);
            while (medleySongs.step())
                medleySongs.readAll(0, e.medley->songIds.emplace_back());
        }
        if (hostPlace)
            hostPlaces.emplace_back(*hostPlace, e.id);
        if (moved != 0)
            queue.hostMoved.insert(e.id);
    }
    std::sort(hostPlaces.begin(), hostPlaces.end());
    for (const auto& [place, id] : hostPlaces)
        queue.hostOrder.push_back(id);
    Statement settings(db, "SELECT name, value FROM queue_settings");
    while (settings.step()) {
        std::string name;
        std::int64_t value = 0;
        settings.readAll(0, name, value);
        for (const SettingColumn& column : kSettings)
            if (name == column.name)
                column.set(queue.settings, value);
    }
    return queue;
}

void writeQueueRows(sqlite3* db, const party::KeptQueue& queue) {
    exec(db, "DELETE FROM queue_guests; DELETE FROM queue_entries; DELETE FROM queue_settings; "
             "DELETE FROM queue_medley_songs");
    Statement guest(db, "INSERT INTO queue_guests (id, name, player_id, joined_at, last_sang_at, "
                        "token) VALUES (?,?,?,?,?,?)");
    for (const party::Guest& g : queue.guests) {
        guest.bindAll(g.id, g.name, g.playerId, g.joinedAt, g.lastSangAt, g.token);
        guest.step();
    }
    Statement entry(db, "INSERT INTO queue_entries (id, added, song_id, owner, partner, "
                        "partner_name, voice, added_at, skips, host_place, host_moved, "
                        "medley_from) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    Statement medleySong(db, "INSERT INTO queue_medley_songs (entry_id, place, song_id) "
                             "VALUES (?,?,?)");
    for (std::size_t added = 0; added < queue.entries.size(); ++added) {
        const party::QueueEntry& e = queue.entries[added];
        std::optional<std::int64_t> hostPlace, voice;
        if (const auto place = std::find(queue.hostOrder.begin(), queue.hostOrder.end(), e.id);
            place != queue.hostOrder.end())
            hostPlace = place - queue.hostOrder.begin();
        if (e.voice)
            voice = *e.voice;
        entry.bindAll(e.id, static_cast<std::int64_t>(added), e.songId, e.owner, e.partner,
                      e.partnerName, voice, e.addedAt, e.skips, hostPlace,
                      queue.hostMoved.contains(e.id) ? 1 : 0,
                      e.medley ? std::optional<std::string>(e.medley->from) : std::nullopt);
        entry.step();
        for (std::size_t place = 0; e.medley && place < e.medley->songIds.size(); ++place) {
            medleySong.bindAll(e.id, static_cast<std::int64_t>(place), e.medley->songIds[place]);
            medleySong.step();
        }
    }
    Statement setting(db, "INSERT INTO queue_settings (name, value) VALUES (?,?)");
    for (const SettingColumn& column : kSettings) {
        setting.bindAll(column.name, column.get(queue.settings));
        setting.step();
    }
}

} // namespace cantorix::platform
