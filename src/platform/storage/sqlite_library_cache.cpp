#include "sqlite_library_cache.h"

#include "base/regular_file.h"
#include "platform/storage/sqlite_messages.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>

namespace cantorix::platform {

namespace fs = std::filesystem;
using songs::FileStamp;
using songs::SongSummary;

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE songs (
    folder BLOB PRIMARY KEY, song_file BLOB NOT NULL, format INTEGER NOT NULL,
    title TEXT NOT NULL, artist TEXT NOT NULL, audio BLOB NOT NULL, cover BLOB NOT NULL,
    duet INTEGER NOT NULL, error TEXT NOT NULL, unplayable TEXT NOT NULL,
    song_mtime INTEGER NOT NULL, song_size INTEGER NOT NULL,
    audio_mtime INTEGER NOT NULL, audio_size INTEGER NOT NULL,
    cover_mtime INTEGER NOT NULL, cover_size INTEGER NOT NULL,
    folder_mtime INTEGER NOT NULL, folder_size INTEGER NOT NULL,
    text_length_ms INTEGER NOT NULL, audio_length_ms INTEGER NOT NULL,
    medley_from_ms REAL NOT NULL, medley_to_ms REAL NOT NULL, medley_source INTEGER NOT NULL))";

constexpr const char* kColumns = "folder, song_file, format, title, artist, audio, cover, duet, "
                                 "error, unplayable, song_mtime, song_size, audio_mtime, "
                                 "audio_size, cover_mtime, cover_size, folder_mtime, folder_size, "
                                 "text_length_ms, audio_length_ms, medley_from_ms, medley_to_ms, "
                                 "medley_source";
constexpr const char* kPlaceholders = "?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?";

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }

    std::string bytes(int column) const {
        const void* data = sqlite3_column_blob(m_stmt, column);
        const int size = sqlite3_column_bytes(m_stmt, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                    : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    FileStamp stamp(int column) const { return {integer(column), integer(column + 1)}; }

    void bindBytes(int index, const std::string& value) {
        sqlite3_bind_blob(m_stmt, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    void bindText(int index, const std::string& value) {
        sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    void bindStamp(int index, const FileStamp& stamp) {
        sqlite3_bind_int64(m_stmt, index, stamp.mtimeNs);
        sqlite3_bind_int64(m_stmt, index + 1, stamp.size);
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

SongSummary rowOf(const Statement& row) {
    SongSummary s;
    s.folder = row.bytes(0);
    s.songFile = row.bytes(1);
    s.format = row.integer(2) == 1 ? songs::SongFormat::Standard : songs::SongFormat::Game;
    s.title = row.bytes(3);
    s.artist = row.bytes(4);
    s.audio = row.bytes(5);
    s.cover = row.bytes(6);
    s.duet = row.integer(7) != 0;
    s.error = row.bytes(8);
    s.unplayable = row.bytes(9);
    s.songStamp = row.stamp(10);
    s.audioStamp = row.stamp(12);
    s.coverStamp = row.stamp(14);
    s.folderStamp = row.stamp(16);
    s.textLengthMs = row.integer(18);
    s.audioLengthMs = row.integer(19);
    const std::int64_t source = row.integer(22);
    if (source == static_cast<int>(songs::MedleySource::Tags) ||
        source == static_cast<int>(songs::MedleySource::Refrain))
        s.medley = {sqlite3_column_double(row.get(), 20), sqlite3_column_double(row.get(), 21),
                    static_cast<songs::MedleySource>(source)};
    return s;
}

void bindRow(Statement& insert, const SongSummary& s) {
    sqlite3_reset(insert.get());
    insert.bindBytes(1, s.folder);
    insert.bindBytes(2, s.songFile);
    sqlite3_bind_int(insert.get(), 3, s.format == songs::SongFormat::Standard ? 1 : 0);
    insert.bindText(4, s.title);
    insert.bindText(5, s.artist);
    insert.bindBytes(6, s.audio);
    insert.bindBytes(7, s.cover);
    sqlite3_bind_int(insert.get(), 8, s.duet ? 1 : 0);
    insert.bindText(9, s.error);
    insert.bindText(10, s.unplayable);
    insert.bindStamp(11, s.songStamp);
    insert.bindStamp(13, s.audioStamp);
    insert.bindStamp(15, s.coverStamp);
    insert.bindStamp(17, s.folderStamp);
    sqlite3_bind_int64(insert.get(), 19, s.textLengthMs);
    sqlite3_bind_int64(insert.get(), 20, s.audioLengthMs);
    sqlite3_bind_double(insert.get(), 21, s.medley.fromMs);
    sqlite3_bind_double(insert.get(), 22, s.medley.toMs);
    sqlite3_bind_int(insert.get(), 23, static_cast<int>(s.medley.source));
}

bool damaged(int code) {
    code &= 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// What the first bytes of the file say it is. The file is opened through the regular-file
// helper: a pipe or a device at the cache path must neither hold the start nor pass for a cache.
struct FileHeader {
    enum Kind { Unreadable, Empty, Foreign, ForeignDatabase, Damaged, Sqlite } kind = Unreadable;
    std::uint32_t userVersion = 0;
};

bool plausibleSqliteHeader(const unsigned char* header) {
    const unsigned pageSize = static_cast<unsigned>(header[16]) << 8 | header[17];
    const bool pageSizeValid =
        pageSize == 1 || (pageSize >= 512 && (pageSize & (pageSize - 1)) == 0);
    return pageSizeValid && header[21] == 64 && header[22] == 32 && header[23] == 32;
}

FileHeader readHeader(const fs::path& file, std::string& reason) {
    base::UniqueFd fd = base::openRegularFile(file, reason);
    if (!fd)
        return {};
    unsigned char header[100];
    std::size_t total = 0;
    while (total < sizeof header) {
        const ssize_t got = ::read(fd.get(), header + total, sizeof header - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reason = std::strerror(errno);
            return {};
        }
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    if (total == 0)
        return {FileHeader::Empty};
    if (total < 16 || std::memcmp(header, "SQLite format 3", 16) != 0) // the 16th byte is '\0'
        return {FileHeader::Foreign};
    if (total < sizeof header || !plausibleSqliteHeader(header))
        return {FileHeader::Damaged};
    // Ours never uses write-ahead logging, and merely opening and closing such a database may
    // checkpoint its log into it.
    if (header[18] == 2 || header[19] == 2)
        return {FileHeader::ForeignDatabase};
    const std::uint32_t userVersion = static_cast<std::uint32_t>(header[60]) << 24 |
                                      static_cast<std::uint32_t>(header[61]) << 16 |
                                      static_cast<std::uint32_t>(header[62]) << 8 | header[63];
    return {FileHeader::Sqlite, userVersion};
}

std::string newerSchemaReason(std::int64_t version) {
    return "it holds a newer schema (version " + std::to_string(version) +
           ") than this version of the game reads (version " +
           std::to_string(SqliteLibraryCache::kSchemaVersion) + ")";
}

constexpr const char* kBusyReason = "another program is using it";
constexpr const char* kForeignDatabaseReason = "it holds another program's database";
constexpr const char* kEmptyReason = "it is an empty file this game did not make";

} // namespace

SqliteLibraryCache::SqliteLibraryCache(fs::path file, Notice unusableNotice)
    : m_file(std::move(file)), m_notice(std::move(unusableNotice)) {}

SqliteLibraryCache::~SqliteLibraryCache() {
    close();
}

void SqliteLibraryCache::close() {
    sqlite3_close_v2(m_db); // statements still open are finalised by their owners
    m_db = nullptr;
}

std::string SqliteLibraryCache::unusable() const {
    std::lock_guard lock(m_reasonMutex);
    return m_unusable;
}

void SqliteLibraryCache::markUnusable(const std::string& reason) {
    if (m_db)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    close();
    m_state = State::Unusable;
    std::string message =
        "The song library cache '" + m_file.string() + "' is not used this run: " + reason;
    {
        std::lock_guard lock(m_reasonMutex);
        if (!m_unusable.empty())
            return;
        m_unusable = message;
    }
    if (m_notice)
        m_notice(message);
}

bool SqliteLibraryCache::openDatabase(int flags, int busyMs, std::string& error) {
    close();
    if (sqlite3_open_v2(m_file.c_str(), &m_db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) !=
        SQLITE_OK) {
        error = sqliteMessage(m_db);
        close();
        return false;
    }
    sqlite3_busy_timeout(m_db, busyMs);
    m_state = State::Open;
    return true;
}

void SqliteLibraryCache::examine() {
    std::error_code ec;
    if (fs::status(m_file, ec).type() == fs::file_type::not_found) {
        m_state = State::Missing;
        return;
    }
    std::string reason;
    const FileHeader header = readHeader(m_file, reason);
    switch (header.kind) {
    case FileHeader::Unreadable:
        return markUnusable(reason);
    case FileHeader::Foreign:
        return markUnusable("it is not an SQLite database");
    case FileHeader::ForeignDatabase:
        return markUnusable(kForeignDatabaseReason);
    case FileHeader::Damaged:
        m_state = State::Damaged;
        return;
    case FileHeader::Sqlite:
        // Decided from the header alone, so a newer game's file is not even opened here.
        if (header.userVersion > static_cast<std::uint32_t>(kSchemaVersion))
            return markUnusable(newerSchemaReason(header.userVersion));
        break;
    case FileHeader::Empty:
        // Ours is made complete under another name before it takes this one, so an empty file
        // here is another program's.
        return markUnusable(kEmptyReason);
    }
    std::string error;
    if (!openDatabase(SQLITE_OPEN_READWRITE, kLoadBusyMs, error))
        markUnusable(error);
}

bool SqliteLibraryCache::beginWrite() {
    // IMMEDIATE even to read: a file another process is writing is found busy now, within the
    // busy timeout, rather than part-way through a store.
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    failed();
    return false;
}

void SqliteLibraryCache::failed() {
    const int code = sqlite3_extended_errcode(m_db);
    if (damaged(code)) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        close();
        m_state = State::Damaged;
    } else {
        markUnusable(sqliteBusy(code) ? std::string(kBusyReason) : sqliteMessage(m_db));
    }
}

SqliteLibraryCache::Content SqliteLibraryCache::content() {
    Statement version(m_db, "PRAGMA user_version");
    Statement tables(m_db, "SELECT count(*), coalesce(sum(name = 'songs'), 0) FROM sqlite_master "
                           "WHERE type = 'table'");
    if (!version || !tables || sqlite3_step(version.get()) != SQLITE_ROW ||
        sqlite3_step(tables.get()) != SQLITE_ROW) {
        failed();
        return Content::Failed;
    }
    const std::int64_t schema = version.integer(0);
    const std::int64_t tableCount = tables.integer(0);
    const bool songsTable = tables.integer(1) == 1;
    if (schema > kSchemaVersion) {
        markUnusable(newerSchemaReason(schema));
        return Content::Failed;
    }
    // Our files set their version in the transaction that makes their table.
    if (schema >= 1 && songsTable && tableCount == 1)
        return schema == kSchemaVersion ? Content::Current : Content::Outdated;
    markUnusable(kForeignDatabaseReason);
    return Content::Failed;
}

std::vector<SongSummary> SqliteLibraryCache::load() {
    if (m_state == State::Unknown)
        examine();
    if (m_state != State::Open)
        return {};
    sqlite3_busy_timeout(m_db, kLoadBusyMs);
    if (!beginWrite())
        return {};
    std::vector<SongSummary> songs;
    if (content() == Content::Current) {
        Statement select(m_db, std::string("SELECT ") + kColumns + " FROM songs");
        int step = SQLITE_ERROR;
        while (select && (step = sqlite3_step(select.get())) == SQLITE_ROW)
            songs.push_back(rowOf(select));
        if (step != SQLITE_DONE) {
            // Half a cache is worse than none: a song missing from it would look removed.
            songs.clear();
            failed();
        }
    }
    if (m_db)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    return songs;
}

void SqliteLibraryCache::createFile() {
    std::error_code ec;
    fs::create_directories(m_file.parent_path(), ec);
    if (ec)
        return markUnusable("its folder cannot be created (" + ec.message() + ")");
    // Made complete under a name of its own and moved into place only if nothing is there by
    // then: an interrupted creation never leaves a file at the cache's path.
    const std::string temp = m_file.native() + ".new-" + std::to_string(::getpid());
    for (const char* suffix : {"-journal", ""})
        fs::remove(temp + suffix, ec);
    sqlite3* db = nullptr;
    const std::string schema = std::string("BEGIN; ") + kSchema +
                               "; PRAGMA user_version = " + std::to_string(kSchemaVersion) +
                               "; COMMIT;";
    bool made = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                nullptr) == SQLITE_OK &&
                sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    std::string error = made ? std::string() : sqliteMessage(db);
    made = sqlite3_close(db) == SQLITE_OK && made;
    if (made &&
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, m_file.c_str(), RENAME_NOREPLACE) != 0) {
        made = false;
        error = errno == EEXIST ? std::string() : std::string(std::strerror(errno));
    }
    fs::remove(temp, ec);
    if (!made && error.empty()) { // another run made it first: that file is looked at as any
        m_state = State::Unknown;
        return examine();
    }
    if (!made)
        return markUnusable("it cannot be created (" + error + ")");
    if (!openDatabase(SQLITE_OPEN_READWRITE, kStoreBusyMs, error))
        markUnusable("it cannot be created (" + error + ")");
}

void SqliteLibraryCache::removeDamagedFile() {
    // Only an SQLite file of ours that cannot be read comes here. Its journals go first: one left
    // behind would be played back into the new file.
    std::error_code ec;
    for (const char* suffix : {"-journal", "-wal", "-shm", ""})
        fs::remove(m_file.native() + suffix, ec);
    m_state = State::Missing;
}

void SqliteLibraryCache::failStore() {
    const std::string message = unusable();
    throw std::runtime_error(!message.empty() ? message
                                              : "The song library cache '" + m_file.string() +
                                                    "' is damaged and could not be made anew");
}

void SqliteLibraryCache::store(const std::vector<SongSummary>& changed,
                               const std::vector<fs::path>& removed) {
    if (m_state == State::Unknown)
        examine();
    // A second try when the first finds the file damaged: corruption that reading every row does
    // not meet (in the index, say) would otherwise fail every store of every run.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_state == State::Damaged)
            removeDamagedFile();
        if (m_state == State::Missing)
            createFile();
        if (m_state != State::Open)
            break;
        if (writeTransaction(changed, removed))
            return;
    }
    failStore();
}

bool SqliteLibraryCache::writeTransaction(const std::vector<SongSummary>& changed,
                                          const std::vector<fs::path>& removed) {
    sqlite3_busy_timeout(m_db, kStoreBusyMs);
    if (!beginWrite())
        return false;
    // Looked at again inside the write lock: another run may have changed the file since load.
    const Content found = content();
    if (found == Content::Failed)
        return false;
    const std::string schema =
        found == Content::Current
            ? std::string()
            : std::string("DROP TABLE IF EXISTS songs; ") + kSchema +
                  "; PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
    if ((!schema.empty() &&
         sqlite3_exec(m_db, schema.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) ||
        !writeRows(changed, removed) ||
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        failed();
        return false;
    }
    return true;
}

bool SqliteLibraryCache::writeRows(const std::vector<SongSummary>& changed,
                                   const std::vector<fs::path>& removed) {
    Statement insert(m_db, std::string("INSERT OR REPLACE INTO songs (") + kColumns + ") VALUES (" +
                               kPlaceholders + ")");
    Statement erase(m_db, "DELETE FROM songs WHERE folder = ?");
    if (!insert || !erase)
        return false;
    for (const SongSummary& song : changed) {
        bindRow(insert, song);
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            return false;
    }
    for (const fs::path& folder : removed) {
        sqlite3_reset(erase.get());
        erase.bindBytes(1, folder.native());
        if (sqlite3_step(erase.get()) != SQLITE_DONE)
            return false;
    }
    return true;
}

fs::path defaultLibraryCacheFile() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    fs::path base;
    if (cache && *cache && fs::path(cache).is_absolute()) {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : ".") / ".cache";
    }
    return base / "cantorix" / "library.sqlite3";
}

} // namespace cantorix::platform
