#pragma once
// The players and performances in an SQLite file of the player's data, shared by the game, the
// tool and a second game started at once, and the party's queue beside them. Owns one connection,
// opened at the first call and kept; used by one thread at a time (the game's records worker).
//
// The records are never silently lost: a file SQLite calls damaged is moved aside under a new
// name (never deleted) and a new one started; a file of a newer game is read but never changed;
// anything that merely cannot be done now (a busy file, a full disk) throws and moves nothing.

#include "party/queue_store_port.h"
#include "records/record_store_port.h"

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

struct sqlite3;

namespace cantorix::platform {

class SqliteRecordStore : public records::RecordStore, public party::QueueStore {
public:
    // The file's PRAGMA user_version. A new version adds one step to the list of migrations.
    static constexpr int kSchemaVersion = 5;
    // Only the records worker waits this long for another game's write; it is never the window.
    static constexpr int kBusyMs = 2000;

    explicit SqliteRecordStore(std::filesystem::path file);
    ~SqliteRecordStore() override;
    SqliteRecordStore(const SqliteRecordStore&) = delete;
    SqliteRecordStore& operator=(const SqliteRecordStore&) = delete;

    records::RecordSnapshot load() override;
    std::vector<records::Performance> storeSession(std::vector<records::Performance> rows) override;
    records::Player addPlayer(records::Player player) override;
    void updatePlayer(const records::Player& player) override;
    void removePlayer(std::int64_t id, bool deletePerformances) override;
    std::vector<std::string> takeNotices() override;
    party::KeptQueue loadQueue() override;
    void saveQueue(const party::KeptQueue& queue) override;
    // Whether a damaged file was moved aside and a new one started since this store was made.
    bool movedAside() const { return m_movedAside; }

    const std::filesystem::path& file() const { return m_file; }

private:
    // Opens the file when needed; false when it is missing and `create` is false.
    bool open(bool create);
    void openConnection(bool create);
    void prepareFile(bool existed);
    void migrate();
    // Folds every player's name again as this game folds names, inside one transaction; names
    // that now fold alike are told apart by renaming the later player "Name (2)".
    void refoldNames();
    void moveAside();
    void close();
    // Runs `work` in one write transaction; a file found damaged is moved aside and the work
    // done once more in the new file.
    template <class Work> auto write(Work&& work);
    records::RecordSnapshot read();
    [[noreturn]] void fail(const std::string& doing, const std::string& why) const;

    std::filesystem::path m_file;
    sqlite3* m_db = nullptr;
    // Which file the connection holds: another game may have moved a damaged one aside since.
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_checked = false; // the integrity check of the first open is done
    int m_version = 0;      // the file's schema version when opened
    std::vector<std::string> m_notices;
    bool m_movedAside = false;
};

} // namespace cantorix::platform
