#pragma once
// Keeps the song catalogue in step with the disk without holding up the game: the cached
// summaries are there at once, and a worker thread walks the song roots, reads only the songs
// that are new or changed since the cache was written, drops the ones that are gone, stores the
// result in the cache and hands its findings to the main thread in batches. Construct, start()
// and poll() on the main thread; the worker owns nothing the main thread touches.

#include "songs/library_cache_port.h"
#include "songs/song_catalog.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <vector>

namespace cantorix::songs {

// What the scan has learned since the last poll.
struct ScanUpdate {
    std::vector<SongSummary> changed;           // new songs and songs whose file or cover changed
    std::vector<std::filesystem::path> removed; // folders of cached songs that are gone
    std::size_t songsFound = 0; // song folders found so far in this scan (for the progress text)
    bool finished = false;      // the walk is over (the cache has been written)
    ScanProblems problems;      // valid once finished
    std::string cacheError;     // non-empty when the cache could not be written
};

class LibraryScanner {
public:
    LibraryScanner(std::vector<std::filesystem::path> roots, LibraryCache& cache);
    ~LibraryScanner(); // stops and joins the worker
    LibraryScanner(const LibraryScanner&) = delete;
    LibraryScanner& operator=(const LibraryScanner&) = delete;

    // The summaries the cache held, read synchronously (fast: no song file is opened).
    const std::vector<SongSummary>& cached() const;
    // Starts the worker thread.
    void start();
    // What is new since the last poll; an empty update (nothing changed, not finished) when
    // nothing is. Main thread.
    ScanUpdate poll();
    // Keeps what opening a song's audio taught (that it fails to open, or its length) in the
    // library cache with its stamps, so the next start knows it without opening the audio again.
    // Main thread; never blocks it (the worker stores it, or a short store after the worker has
    // finished, off the window thread).
    void rememberAudio(SongSummary song);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace cantorix::songs
