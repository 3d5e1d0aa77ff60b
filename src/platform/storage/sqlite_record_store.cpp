#include "sqlite_record_store.h"

#include "base/regular_file.h"
#include "platform/storage/sqlite_messages.h"
#include "platform/storage/sqlite_queue_rows.h"
#include "platform/storage/sqlite_statement.h"
#include "records/player.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <unistd.h>
#include <utility>

namespace cantorix::platform {

namespace fs = std::filesystem;
using records::ERecordStoreError;
using records::Performance;
using records::Player;
using records::RecordSnapshot;
using namespace sqlite_steps;

namespace {

// Step i takes a file of version i to version i + 1, all of them in the transaction that opens
// the file. A new schema version is one more step here.
constexpr const char* kMigrations[] = {
    // The first records. Player ids are never reused: a removed player's id may still be named in
    // a profile or an export, and must not come to mean someone else.
    R"(CREATE TABLE players (
        id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL,
        folded_name TEXT NOT NULL UNIQUE, colour INTEGER NOT NULL, picture TEXT NOT NULL,
        created_at INTEGER NOT NULL);
    CREATE TABLE performances (
        id INTEGER PRIMARY KEY, player_id INTEGER NULL REFERENCES players (id),
        singer_name TEXT NOT NULL, colour INTEGER NOT NULL, song_key TEXT NOT NULL,
        voice INTEGER NOT NULL, artist TEXT NOT NULL, title TEXT NOT NULL, folder TEXT NOT NULL,
        difficulty INTEGER NOT NULL, note_points INTEGER NOT NULL, line_bonus INTEGER NOT NULL,
        golden_points INTEGER NOT NULL, total INTEGER NOT NULL, possible INTEGER NOT NULL,
        share REAL NOT NULL, sung_at_ms INTEGER NOT NULL, sung_ms INTEGER NOT NULL,
        song_ms INTEGER NOT NULL, finished INTEGER NOT NULL);
    CREATE INDEX performances_by_song ON performances (song_key, voice);
    CREATE INDEX performances_by_player ON performances (player_id);)",
    // A party's queue, kept as it changes so that a restarted game finds it again.
    kQueueTables,
    kQueueGuestTokens,
    // The parts of songs a medley sang, kept apart from the songs' records.
    "ALTER TABLE performances ADD COLUMN medley_part INTEGER NOT NULL DEFAULT 0",
    kQueueMedleys,
};
static_assert(std::size(kMigrations) == SqliteRecordStore::kSchemaVersion);

constexpr const char* kSelectPerformances =
    "SELECT id, player_id, singer_name, colour, song_key, voice, artist, title, folder, "
    "difficulty, note_points, line_bonus, golden_points, total, possible, share, sung_at_ms, "
    "sung_ms, song_ms, finished, medley_part FROM performances ORDER BY id";
constexpr const char* kInsertPerformance =
    "INSERT INTO performances (player_id, singer_name, colour, song_key, voice, artist, title, "
    "folder, difficulty, note_points, line_bonus, golden_points, total, possible, share, "
    "sung_at_ms, sung_ms, song_ms, finished, medley_part) "
    "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
// A reservation no larger than this, whatever the largest id says.
constexpr std::int64_t kMostReserved = 1'000'000;

int userVersion(sqlite3* db) {
    Statement version(db, "PRAGMA user_version");
    version.step();
    return static_cast<int>(version.integer(0));
}

std::string newerReason(int version) {
    return "it was written by a newer version of Cantorix (records version " +
           std::to_string(version) + "; this version knows up to " +
           std::to_string(SqliteRecordStore::kSchemaVersion) + ")";
}

std::string whyOf(const SqliteFailure& failure) {
    if (failure.busy())
        return "another program has been using it for longer than " +
               std::to_string(SqliteRecordStore::kBusyMs / 1000) + " seconds (" + failure.what() +
               ")";
    return failure.what();
}

// The stored fields after the id, in the order of the columns of kSelectPerformances and
// kInsertPerformance; for a const or a mutable row.
template <class Row> auto performanceFields(Row& p) {
    return std::tie(p.playerId, p.singerName, p.colour, p.key.song, p.key.voice, p.artist, p.title,
                    p.folder, p.difficulty, p.notePoints, p.lineBonus, p.goldenPoints, p.total,
                    p.possible, p.share, p.sungAtMs, p.sungMs, p.songMs, p.finished, p.medleyPart);
}

// Steps a statement that stores a player, turning the unique folded name and the id into their
// errors.
void stepStoringPlayer(Statement& statement, const Player& player) {
    try {
        statement.step();
    } catch (const SqliteFailure& failure) {
        if (failure.code() == SQLITE_CONSTRAINT_UNIQUE)
            throw records::EPlayerNameTaken("The name \"" + player.name + "\" is taken.");
        if (failure.code() == SQLITE_CONSTRAINT_PRIMARYKEY)
            throw records::EPlayerIdTaken("Another player has the number " +
                                          std::to_string(player.id) + ".");
        throw;
    }
}

// SQLite reads a file too short for its header as an empty database, and would write over it.
bool notSqlite(const fs::path& file) {
    std::string reason;
    const base::UniqueFd fd = base::openRegularFile(file, reason);
    char header[16];
    const ssize_t got = fd ? ::pread(fd.get(), header, sizeof header, 0) : -1;
    return got > 0 && (got < 16 || std::memcmp(header, "SQLite format 3", 16) != 0);
}

std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool anyExists(const std::string& file) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        if (fs::exists(fs::symlink_status(file + suffix, ec)))
            return true;
    return false;
}

// Renames without ever replacing: false when `to` appeared meanwhile.
bool renameNew(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    // A file system without the flag: `to` was seen not to exist a moment ago.
    if (errno == EINVAL && std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    throw std::system_error(errno, std::generic_category());
}

} // namespace

SqliteRecordStore::SqliteRecordStore(fs::path file) : m_file(std::move(file)) {}

SqliteRecordStore::~SqliteRecordStore() {
    close();
}

void SqliteRecordStore::close() {
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void SqliteRecordStore::fail(const std::string& doing, const std::string& why) const {
    throw ERecordStoreError("The records \"" + m_file.string() + "\" cannot be " + doing + ": " +
                            why + ".");
}

bool SqliteRecordStore::open(bool create) {
    const char* doing = create ? "written" : "read";
    struct stat info {};
    if (::stat(m_file.c_str(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            fail(doing, std::strerror(errno));
        close();
        if (!create)
            return false;
        openConnection(true);
        return true;
    }
    if (!S_ISREG(info.st_mode))
        fail(doing, "it is " + base::nonRegularKind(info.st_mode) + ", not a regular file");
    // Another game may have moved a damaged file aside and started a new one since.
    if (m_db && info.st_dev == m_device && info.st_ino == m_inode)
        return true;
    close();
    openConnection(create);
    return true;
}

void SqliteRecordStore::openConnection(bool create) {
    const char* doing = create ? "written" : "read";
    struct stat info {};
    const bool existed = ::stat(m_file.c_str(), &info) == 0;
    m_device = info.st_dev;
    m_inode = info.st_ino;
    if (existed && notSqlite(m_file)) {
        moveAside();
        return openConnection(true);
    }
    std::error_code ec;
    if (create && !existed && (fs::create_directories(m_file.parent_path(), ec), ec))
        fail(doing, "its folder cannot be created (" + ec.message() + ")");
    // One thread at a time uses the connection: SQLite need not lock it on every column read.
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(m_file.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        const std::string why = sqliteMessage(m_db);
        close();
        fail(doing, why);
    }
    sqlite3_busy_timeout(m_db, kBusyMs);
    if (!existed && ::stat(m_file.c_str(), &info) == 0) {
        m_device = info.st_dev;
        m_inode = info.st_ino;
    }
    m_version = 0;
    try {
        prepareFile(existed);
    } catch (const SqliteFailure& failure) {
        if (!failure.damaged() || m_version > kSchemaVersion) {
            close();
            fail(doing, whyOf(failure));
        }
        moveAside();
        openConnection(true);
    }
}

void SqliteRecordStore::prepareFile(bool existed) {
    m_version = userVersion(m_db); // the first read: a file that is no database fails here
    exec(m_db, "PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL");
    if (m_version > kSchemaVersion)
        return; // read as it is, never changed: not even its journal mode
    if (existed && !m_checked) {
        Statement check(m_db, "PRAGMA quick_check(1)");
        check.step();
        if (std::string result; check.readAll(0, result), result != "ok")
            throw SqliteFailure(SQLITE_CORRUPT, "its integrity check failed: " + result);
    }
    m_checked = true;
    if (m_version != kSchemaVersion)
        migrate();
    refoldNames();
    // Only once the file is known to be ours: the journal mode is kept in the file.
    exec(m_db, "PRAGMA journal_mode = WAL");
}

void SqliteRecordStore::migrate() {
    Transaction transaction(m_db, "BEGIN IMMEDIATE");
    // Read again inside the lock: another game may have migrated the file meanwhile.
    const int version = userVersion(m_db);
    if (version < 0)
        throw SqliteFailure(SQLITE_ERROR,
                            "its version (" + std::to_string(version) + ") is none Cantorix wrote");
    if (version == 0) {
        Statement tables(m_db, "SELECT count(*) FROM sqlite_master");
        tables.step();
        if (tables.integer(0) != 0)
            throw SqliteFailure(SQLITE_ERROR, "it holds tables that Cantorix did not make");
    }
    for (int step = version; step < kSchemaVersion; ++step)
        exec(m_db, kMigrations[step]);
    if (version < kSchemaVersion)
        exec(m_db, "PRAGMA user_version = " + std::to_string(kSchemaVersion));
    transaction.commit();
    m_version = std::max(version, kSchemaVersion);
}

void SqliteRecordStore::refoldNames() {
    struct Named {
        std::int64_t id = 0;
        std::string name, folded;
    };
    std::vector<Named> players;
    {
        Statement select(m_db, "SELECT id, name, folded_name FROM players ORDER BY id");
        while (select.step()) {
            Named& p = players.emplace_back();
            select.readAll(0, p.id, p.name, p.folded);
        }
    }
    // The rule of an earlier release may have kept names apart that now fold alike: the first
    // keeps their name, each later one takes the first "Name (n)" still free.
    std::set<std::string> taken;
    std::vector<std::pair<Named, std::string>> changed; // the player as now, and the old name
    for (Named& p : players) {
        std::string name = p.name;
        std::string folded = records::foldPlayerName(name);
        for (int n = 2; taken.count(folded); ++n) {
            name = p.name + " (" + std::to_string(n) + ")";
            folded = records::foldPlayerName(name);
        }
        taken.insert(folded);
        if (folded != p.folded || name != p.name)
            changed.push_back({{p.id, name, folded}, p.name});
    }
    if (changed.empty())
        return;
    Transaction transaction(m_db, "BEGIN IMMEDIATE");
    // Through names no player can have first, so no step meets the unique index half-way.
    Statement park(m_db, "UPDATE players SET folded_name = ? WHERE id = ?");
    for (const auto& [p, old] : changed)
        park.bindAll("\x1F" + std::to_string(p.id), p.id), park.step();
    Statement update(m_db, "UPDATE players SET name = ?, folded_name = ? WHERE id = ?");
    for (const auto& [p, old] : changed)
        update.bindAll(p.name, p.folded, p.id), update.step();
    transaction.commit();
    for (const auto& [p, old] : changed)
        if (p.name != old)
            m_notices.push_back("Two players were named alike: \"" + old + "\" is now \"" + p.name +
                                "\".");
}

void SqliteRecordStore::moveAside() {
    close();
    struct stat info {};
    if (::stat(m_file.c_str(), &info) != 0 || info.st_dev != m_device || info.st_ino != m_inode)
        return; // another game has moved it aside already
    const std::string stamped = m_file.native() + ".damaged-" + timeStamp();
    try {
        for (int n = 1;; ++n) {
            const std::string target = n == 1 ? stamped : stamped + "-" + std::to_string(n);
            if (anyExists(target) || !renameNew(m_file.native(), target))
                continue;
            // Its log goes with it: left here, it would be played back into the new file.
            for (const char* suffix : {"-wal", "-shm", "-journal"})
                if (std::error_code ec; fs::exists(m_file.native() + suffix, ec))
                    renameNew(m_file.native() + suffix, target + suffix);
            m_movedAside = true;
            m_notices.push_back("\"" + m_file.string() + "\" was damaged; it was moved to \"" +
                                target + "\" and a new one started.");
            return;
        }
    } catch (const std::system_error& error) {
        fail("written", "it is damaged and cannot be moved aside (" +
                            std::string(std::strerror(error.code().value())) + ")");
    }
}

template <class Work> auto SqliteRecordStore::write(Work&& work) {
    for (int attempt = 0;; ++attempt) {
        open(true);
        if (m_version > kSchemaVersion)
            fail("written", newerReason(m_version) + "; it is left unchanged");
        try {
            Transaction transaction(m_db, "BEGIN IMMEDIATE");
            // Another game may have upgraded the file since it was opened.
            if (m_version = userVersion(m_db); m_version > kSchemaVersion)
                fail("written", newerReason(m_version) + "; it is left unchanged");
            auto result = work();
            transaction.commit();
            return result;
        } catch (const SqliteFailure& failure) {
            if (!failure.damaged() || attempt > 0) {
                close();
                fail("written", whyOf(failure));
            }
        }
        moveAside();
    }
}

RecordSnapshot SqliteRecordStore::read() {
    RecordSnapshot snapshot;
    Transaction transaction(m_db, "BEGIN"); // both tables from one moment of the file
    Statement players(m_db,
                      "SELECT id, name, colour, picture, created_at FROM players ORDER BY id");
    while (players.step()) {
        Player& p = snapshot.players.emplace_back();
        players.readAll(0, p.id, p.name, p.colour, p.picture, p.createdAt);
    }
    {
        // AUTOINCREMENT keeps the highest id it handed out here, removed players' too.
        Statement sequence(m_db, "SELECT coalesce(max(seq), 0) FROM sqlite_sequence WHERE "
                                 "name = 'players'");
        sequence.step();
        snapshot.lastPlayerId = sequence.integer(0);
        for (const Player& p : snapshot.players)
            snapshot.lastPlayerId = std::max(snapshot.lastPlayerId, p.id);
    }
    Statement largest(m_db, "SELECT coalesce(max(id), 0) FROM performances");
    largest.step();
    snapshot.performances.reserve(
        static_cast<std::size_t>(std::clamp<std::int64_t>(largest.integer(0), 0, kMostReserved)));
    Statement rows(m_db, kSelectPerformances);
    while (rows.step()) {
        Performance& p = snapshot.performances.emplace_back();
        p.id = rows.integer(0);
        std::apply([&](auto&... fields) { rows.readAll(1, fields...); }, performanceFields(p));
    }
    transaction.commit();
    return snapshot;
}

party::KeptQueue SqliteRecordStore::loadQueue() {
    if (!open(false))
        return {};
    try {
        Transaction transaction(m_db, "BEGIN");
        party::KeptQueue queue = readQueueRows(m_db);
        transaction.commit();
        return queue;
    } catch (const SqliteFailure& failure) {
        fail("read", whyOf(failure));
    }
}

void SqliteRecordStore::saveQueue(const party::KeptQueue& queue) {
    write([&] {
        writeQueueRows(m_db, queue);
        return true;
    });
}

RecordSnapshot SqliteRecordStore::load() {
    for (int attempt = 0;; ++attempt) {
        if (!open(false))
            return {};
        try {
            return read();
        } catch (const SqliteFailure& failure) {
            close();
            if (m_version > kSchemaVersion && !failure.damaged() && !failure.busy())
                fail("read", newerReason(m_version) + " and lacks what this version reads (" +
                                 failure.what() + ")");
            if (!failure.damaged() || m_version > kSchemaVersion || attempt > 0)
                fail("read", whyOf(failure));
        }
        moveAside();
        open(true); // the new file, unless another game has started one already
    }
}

std::vector<Performance> SqliteRecordStore::storeSession(std::vector<Performance> rows) {
    return write([&] {
        Statement insert(m_db, kInsertPerformance);
        Statement known(m_db, "SELECT 1 FROM players WHERE id = ?");
        std::vector<Performance> stored = rows; // as given again if the first file was damaged
        for (Performance& row : stored) {
            // A player another game removed meanwhile: the row is kept as a guest's under the
            // name sung, rather than the whole session refused.
            if (row.playerId && (known.bindAll(*row.playerId), !known.step()))
                row.playerId.reset();
            std::apply([&](const auto&... fields) { insert.bindAll(fields...); },
                       performanceFields(std::as_const(row)));
            insert.step();
            row.id = sqlite3_last_insert_rowid(m_db);
        }
        return stored;
    });
}

Player SqliteRecordStore::addPlayer(Player player) {
    return write([&] {
        // NULL lets SQLite choose an id above every one handed out; a given id moves that mark.
        Statement insert(m_db, "INSERT INTO players (id, name, folded_name, colour, picture, "
                               "created_at) VALUES (nullif(?, 0), ?, ?, ?, ?, ?)");
        insert.bindAll(player.id, player.name, records::foldPlayerName(player.name), player.colour,
                       player.picture, player.createdAt);
        stepStoringPlayer(insert, player);
        Player stored = player;
        stored.id = sqlite3_last_insert_rowid(m_db);
        return stored;
    });
}

void SqliteRecordStore::updatePlayer(const Player& player) {
    write([&] {
        Statement update(m_db, "UPDATE players SET name = ?, folded_name = ?, colour = ?, "
                               "picture = ? WHERE id = ?");
        update.bindAll(player.name, records::foldPlayerName(player.name), player.colour,
                       player.picture, player.id);
        stepStoringPlayer(update, player);
        if (sqlite3_changes(m_db) == 0)
            throw records::EPlayerNotFound("The records \"" + m_file.string() +
                                           "\" hold no player \"" + player.name + "\" (id " +
                                           std::to_string(player.id) + ") to change.");
        return true;
    });
}

void SqliteRecordStore::removePlayer(std::int64_t id, bool deletePerformances) {
    write([&] {
        if (deletePerformances) {
            Statement rows(m_db, "DELETE FROM performances WHERE player_id = ?");
            rows.bindAll(id);
            rows.step();
        } else {
            Statement rows(m_db, "UPDATE performances SET player_id = NULL, singer_name = ? "
                                 "WHERE player_id = ?");
            rows.bindAll(records::kRemovedPlayerName, id);
            rows.step();
        }
        Statement player(m_db, "DELETE FROM players WHERE id = ?");
        player.bindAll(id);
        player.step();
        return true;
    });
}

std::vector<std::string> SqliteRecordStore::takeNotices() {
    return std::exchange(m_notices, {});
}

} // namespace cantorix::platform
