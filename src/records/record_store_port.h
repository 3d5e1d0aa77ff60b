#pragma once
// Port: RecordStore. Adapter: platform/storage/sqlite_record_store.h; fake:
// tests/fakes/fake_record_store.h.
// Where players and performances are kept between runs, shared by the game and cantorix-tool
// (and by two games started at once). Every call is one transaction. Used by one thread at a
// time; the game calls it only from its records worker, never the window thread.

#include "records/performance.h"
#include "records/player.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace cantorix::records {

// The records cannot be read or written now (a file another process holds too long, a full
// disk, a folder that cannot be written); the message names the file and says why. Nothing
// stored before is lost.
class ERecordStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Another player already has this name, ignoring case.
class EPlayerNameTaken : public ERecordStoreError {
public:
    using ERecordStoreError::ERecordStoreError;
};

// Another player already has the id a new player was to be stored under (another game added
// one since this game read the file).
class EPlayerIdTaken : public ERecordStoreError {
public:
    using ERecordStoreError::ERecordStoreError;
};

// The file holds no player of that id to change (another game removed them).
class EPlayerNotFound : public ERecordStoreError {
public:
    using ERecordStoreError::ERecordStoreError;
};

struct RecordSnapshot {
    std::vector<Player> players;           // by id
    std::vector<Performance> performances; // oldest first (by id)
    // The highest player id the file ever handed out, removed players' too: ids are never used
    // again, so a new player's id is above it.
    std::int64_t lastPlayerId = 0;
};

class RecordStore {
public:
    virtual ~RecordStore() = default;

    // Everything stored. A file that is missing is no error (nothing stored yet).
    virtual RecordSnapshot load() = 0;
    // Stores one session's rows in one transaction and returns them with their ids.
    virtual std::vector<Performance> storeSession(std::vector<Performance> rows) = 0;
    // Stores a new player and returns it with its id: the id given, or a new one above every id
    // handed out when it is 0. EPlayerNameTaken for a name in use, EPlayerIdTaken for an id.
    virtual Player addPlayer(Player player) = 0;
    // Renames or recolours a stored player, or changes their picture; EPlayerNameTaken for a
    // name another player has, EPlayerNotFound when there is no such player.
    virtual void updatePlayer(const Player& player) = 0;
    // Removes a player. Their performances are deleted too, or kept with no player and the
    // name "removed player".
    virtual void removePlayer(std::int64_t id, bool deletePerformances) = 0;
    // What happened to the file that the player should read, once each: "… was damaged; it was
    // moved to … and a new one started." Empty when nothing did.
    virtual std::vector<std::string> takeNotices() = 0;
};

} // namespace cantorix::records
