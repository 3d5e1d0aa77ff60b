#include "platform/sqlite_library_cache.h"

#include <cstdlib>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace cantorix::platform {

namespace fs = std::filesystem;
using songs::FileStamp;
using songs::SongSummary;

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE songs (
    folder BLOB PRIMARY KEY, song_file BLOB NOT NULL, format INTEGER NOT NULL,
    title TEXT NOT NULL, artist TEXT NOT NULL, audio BLOB NOT NULL, cover BLOB NOT NULL,
    duet INTEGER NOT NULL, error TEXT NOT NULL,
    song_mtime INTEGER NOT NULL, song_size INTEGER NOT NULL,
    cover_mtime INTEGER NOT NULL, cover_size INTEGER NOT NULL,
    folder_mtime INTEGER NOT NULL, folder_size INTEGER NOT NULL))";

constexpr const char* kColumns = "folder, song_file, format, title, artist, audio, cover, duet, "
                                 "error, song_mtime, song_size, cover_mtime, cover_size, "
                                 "folder_mtime, folder_size";

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
    s.songStamp = row.stamp(9);
    s.coverStamp = row.stamp(11);
    s.folderStamp = row.stamp(13);
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
    insert.bindStamp(10, s.songStamp);
    insert.bindStamp(12, s.coverStamp);
    insert.bindStamp(14, s.folderStamp);
}

bool damaged(int code) {
    code &= 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

} // namespace

SqliteLibraryCache::SqliteLibraryCache(fs::path file) : m_file(std::move(file)) {}

SqliteLibraryCache::~SqliteLibraryCache() {
    close();
}

void SqliteLibraryCache::close() {
    sqlite3_close_v2(m_db); // statements still open are finalised by their owners
    m_db = nullptr;
}

bool SqliteLibraryCache::openExisting() {
    if (m_db)
        return true;
    std::error_code ec;
    if (!fs::exists(m_file, ec))
        return false;
    if (sqlite3_open_v2(m_file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        close();
        m_rebuild = true;
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    Statement version(m_db, "PRAGMA user_version");
    if (!version || sqlite3_step(version.get()) != SQLITE_ROW ||
        sqlite3_column_int(version.get(), 0) != kSchemaVersion) {
        close();
        m_rebuild = true;
        return false;
    }
    return true;
}

void SqliteLibraryCache::create() {
    close();
    std::error_code ec;
    fs::create_directories(m_file.parent_path(), ec);
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        fs::remove(m_file.native() + suffix, ec);
    const std::string where = "Cannot create the song library cache '" + m_file.string() + "': ";
    if (sqlite3_open_v2(m_file.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        close();
        throw std::runtime_error(where + message);
    }
    sqlite3_busy_timeout(m_db, 5000);
    const std::string schema = std::string("BEGIN; ") + kSchema +
                               "; PRAGMA user_version = " + std::to_string(kSchemaVersion) +
                               "; COMMIT;";
    char* error = nullptr;
    if (sqlite3_exec(m_db, schema.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        close();
        fs::remove(m_file, ec);
        throw std::runtime_error(where + message);
    }
    m_rebuild = false;
}

std::vector<SongSummary> SqliteLibraryCache::load() {
    if (m_rebuild || !openExisting())
        return {};
    std::vector<SongSummary> songs;
    Statement select(m_db, std::string("SELECT ") + kColumns + " FROM songs");
    int step = SQLITE_ERROR;
    while (select && (step = sqlite3_step(select.get())) == SQLITE_ROW)
        songs.push_back(rowOf(select));
    if (step != SQLITE_DONE) {
        // Half a cache is worse than none: a song missing from it would look removed.
        close();
        m_rebuild = true;
        return {};
    }
    return songs;
}

void SqliteLibraryCache::store(const std::vector<SongSummary>& changed,
                               const std::vector<fs::path>& removed) {
    if (m_rebuild || !openExisting())
        create();
    const auto fail = [&](const std::string& what) {
        const int code = sqlite3_extended_errcode(m_db);
        const std::string message =
            what + " the song library cache '" + m_file.string() + "': " + sqlite3_errmsg(m_db);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (damaged(code)) {
            close();
            m_rebuild = true;
        }
        throw std::runtime_error(message);
    };
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("Cannot write");
    Statement insert(m_db, std::string("INSERT OR REPLACE INTO songs (") + kColumns +
                               ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    Statement erase(m_db, "DELETE FROM songs WHERE folder = ?");
    if (!insert || !erase)
        fail("Cannot write");
    for (const SongSummary& song : changed) {
        bindRow(insert, song);
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            fail("Cannot write");
    }
    for (const fs::path& folder : removed) {
        sqlite3_reset(erase.get());
        erase.bindBytes(1, folder.native());
        if (sqlite3_step(erase.get()) != SQLITE_DONE)
            fail("Cannot write");
    }
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("Cannot write");
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
