#pragma once
// The song library cache in an SQLite file: one row per song folder, a schema version in the
// file, every store in one transaction. Owns its connection; used by one thread at a time (the
// caller loads on the window thread, the library scanner's worker stores).
//
// The file may be shared or not ours at all, so it is replaced only when it is plainly our own
// and worthless: an SQLite file that is corrupt or holds an older schema. Anything else (another
// program's file, a newer schema, a file another process holds busy, a place that cannot be
// written) is left exactly as it is, nor is its journal touched, and the cache is unused for
// the run, with the reason given once to the notice callback and by unusable().

#include "songs/library_cache_port.h"
#include "songs/song_catalog.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace cantorix::platform {

class SqliteLibraryCache : public songs::LibraryCache {
public:
    // Bumped whenever the stored columns change meaning: an older file is then rebuilt, a newer
    // one left to the program that wrote it.
    static constexpr int kSchemaVersion = 4;
    // How long the game's start waits for another process's hold on the file: with the opening
    // and the reading, the start is held no more than 100 ms.
    static constexpr int kLoadBusyMs = 80;
    // A store runs off the window thread and may wait longer, but stays well under the second
    // a quit may take while the scanner is joined.
    static constexpr int kStoreBusyMs = 500;

    // Called once, with a one-line message naming the file and the reason, when the cache turns
    // out unusable for this run; on the thread that found it (load or store).
    using Notice = std::function<void(const std::string& message)>;

    explicit SqliteLibraryCache(std::filesystem::path file, Notice unusableNotice = {});
    ~SqliteLibraryCache() override;
    SqliteLibraryCache(const SqliteLibraryCache&) = delete;
    SqliteLibraryCache& operator=(const SqliteLibraryCache&) = delete;

    std::vector<songs::SongSummary> load() override;
    void store(const std::vector<songs::SongSummary>& changed,
               const std::vector<std::filesystem::path>& removed) override;
    std::string unusable() const override;

    const std::filesystem::path& file() const { return m_file; }

private:
    // What is known of the file on disk.
    enum class State {
        Unknown,  // not examined yet
        Missing,  // no file: the first store creates it
        Open,     // an SQLite file, open in m_db; its content is judged inside each transaction
        Damaged,  // an SQLite file that cannot be read: replaced by the next store
        Unusable, // left alone for this run; see m_unusable
    };
    // What an open file holds, judged inside a transaction.
    enum class Content { Current, Outdated, Failed };

    void examine();
    bool openDatabase(int flags, int busyMs, std::string& error);
    bool beginWrite();
    Content content();
    void failed();
    void markUnusable(const std::string& reason);
    void createFile();
    void removeDamagedFile();
    bool writeTransaction(const std::vector<songs::SongSummary>& changed,
                          const std::vector<std::filesystem::path>& removed);
    bool writeRows(const std::vector<songs::SongSummary>& changed,
                   const std::vector<std::filesystem::path>& removed);
    [[noreturn]] void failStore();
    void close();

    std::filesystem::path m_file;
    Notice m_notice;
    sqlite3* m_db = nullptr;
    State m_state = State::Unknown;
    mutable std::mutex m_reasonMutex; // unusable() may be asked from another thread
    std::string m_unusable;
};

// The game's cache file: $XDG_CACHE_HOME/cantorix/library.sqlite3, by default under
// ~/.cache/cantorix/.
std::filesystem::path defaultLibraryCacheFile();

} // namespace cantorix::platform
