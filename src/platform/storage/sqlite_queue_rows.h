#pragma once
// The party's queue as rows of the records file: its guests, its entries in the order added
// (with their places in the host's list) and its settings. Called inside the store's
// transactions; one thread at a time per connection.

#include "party/party_queue.h"

struct sqlite3;

namespace cantorix::platform {

// The tables the records file's migration to version 2 makes.
inline constexpr const char* kQueueTables =
    R"(CREATE TABLE queue_guests (
        id INTEGER PRIMARY KEY, name TEXT NOT NULL, player_id INTEGER NULL,
        joined_at INTEGER NOT NULL, last_sang_at INTEGER NULL);
    CREATE TABLE queue_entries (
        id INTEGER PRIMARY KEY, added INTEGER NOT NULL, song_id TEXT NOT NULL,
        owner INTEGER NOT NULL, partner INTEGER NULL, partner_name TEXT NOT NULL,
        voice INTEGER NULL, added_at INTEGER NOT NULL, skips INTEGER NOT NULL,
        host_place INTEGER NULL, host_moved INTEGER NOT NULL);
    CREATE TABLE queue_settings (name TEXT PRIMARY KEY, value INTEGER NOT NULL);)";
// Version 3: the token a guest's phone keeps, to find its entries again after the page closed.
inline constexpr const char* kQueueGuestTokens =
    "ALTER TABLE queue_guests ADD COLUMN token TEXT NOT NULL DEFAULT ''";
// Version 5: a medley queued as one entry; its songs in the order sung. An entry with no
// `medley_from` is a song.
inline constexpr const char* kQueueMedleys =
    R"(ALTER TABLE queue_entries ADD COLUMN medley_from TEXT NULL;
    CREATE TABLE queue_medley_songs (
        entry_id INTEGER NOT NULL, place INTEGER NOT NULL, song_id TEXT NOT NULL,
        PRIMARY KEY (entry_id, place));)";

party::KeptQueue readQueueRows(sqlite3* db);
// Replaces every row of the queue with these.
void writeQueueRows(sqlite3* db, const party::KeptQueue& queue);

} // namespace cantorix::platform
