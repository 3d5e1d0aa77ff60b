#pragma once
// Port: LibraryCache. Adapter: platform/storage/sqlite_library_cache.h; fake:
// tests/fakes/fake_library_cache.h.
// The library cache: the summaries of the last scan, kept between runs (the product's adapter
// keeps them in SQLite under $XDG_CACHE_HOME/cantorix/).

#include "song_catalog.h"

#include <filesystem>
#include <string>
#include <vector>

namespace cantorix::songs {

class LibraryCache {
public:
    virtual ~LibraryCache() = default;
    // Every summary stored; empty when there is no cache, when it is of an older version or
    // damaged (it is then rebuilt by the next store), or when it cannot be used. Never throws.
    virtual std::vector<SongSummary> load() = 0;
    // Replaces what is stored for these folders and removes the folders listed in `removed`.
    // Throws std::runtime_error with a clear message when the cache cannot be written.
    // One thread at a time; a single changed summary is a cheap store.
    virtual void store(const std::vector<SongSummary>& changed,
                       const std::vector<std::filesystem::path>& removed) = 0;
    // Why the cache is not used this run (one line naming it and the reason), empty while it is
    // usable. A cache that is unusable is never written; the game then runs without one.
    virtual std::string unusable() const { return {}; }
};

} // namespace cantorix::songs
