#pragma once
// The song library cache in an SQLite file: one row per song folder, a schema version in the
// file, every store in one transaction. A file that is damaged or of another version reads as
// empty and is made anew by the next store. Owns its connection; used by one thread at a time
// (the caller loads, the library scanner's worker stores).

#include "songs/song_catalog.h"

#include <filesystem>
#include <vector>

struct sqlite3;

namespace cantorix::platform {

class SqliteLibraryCache : public songs::LibraryCache {
public:
    // Bumped whenever the stored columns change meaning: an older file is then rebuilt.
    static constexpr int kSchemaVersion = 1;

    explicit SqliteLibraryCache(std::filesystem::path file);
    ~SqliteLibraryCache() override;
    SqliteLibraryCache(const SqliteLibraryCache&) = delete;
    SqliteLibraryCache& operator=(const SqliteLibraryCache&) = delete;

    std::vector<songs::SongSummary> load() override;
    void store(const std::vector<songs::SongSummary>& changed,
               const std::vector<std::filesystem::path>& removed) override;

    const std::filesystem::path& file() const { return m_file; }

private:
    bool openExisting();
    void create();
    void close();

    std::filesystem::path m_file;
    sqlite3* m_db = nullptr;
    bool m_rebuild = false; // the file on disk cannot be trusted: the next store starts afresh
};

// The game's cache file: $XDG_CACHE_HOME/cantorix/library.sqlite3, by default under
// ~/.cache/cantorix/.
std::filesystem::path defaultLibraryCacheFile();

} // namespace cantorix::platform
