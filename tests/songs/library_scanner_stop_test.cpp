// Quitting while the library scan is busy: the scanner, destroyed mid-scan, leaves the songs it
// has not yet read unread instead of finishing the library first, and a song text that is a named
// pipe never holds it.

#include "fakes/fake_library_cache.h"
#include "fakes/file_bytes.h"
#include "fakes/special_files.h"
#include "songs/library_scanner.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace cantorix;
namespace fakes = cantorix::testing;

// Just under the cap: each takes a good part of a second to read, so a scan of a few dozen of
// them is still busy long after it has begun.
std::string longSong() {
    std::string text = "#VERSION:1.0.0\n#TITLE:Long\n#ARTIST:A\n#BPM:120\n";
    for (int beat = 0; text.size() < 4'000'000; beat += 2)
        text += ": " + std::to_string(beat) + " 1 " + std::to_string(beat % 24) + " la\n";
    return text + "E\n";
}

TEST(LibraryScannerStopTest, AScannerDestroyedMidScanLeavesTheRestUnread) {
    constexpr int kSongs = 40;
    const fs::path dir =
        fs::temp_directory_path() / ("cantorix-scan-stop-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "songs/000 Pipe");
    // First in the walk's order: a reader that waited on it would never let the scanner go.
    fakes::makeFifo(dir / "songs/000 Pipe/song.txt");
    fakes::writeFile(dir / "long.txt", longSong());
    for (int i = 1; i <= kSongs; ++i) {
        const fs::path folder = dir / "songs" / ("Song " + std::to_string(1000 + i));
        fs::create_directories(folder);
        fs::create_hard_link(dir / "long.txt", folder / "song.txt");
    }
    ::alarm(300); // a scanner that cannot be stopped fails here rather than holding the run
    fakes::FakeLibraryCache cache;
    {
        songs::LibraryScanner scanner({dir / "songs"}, cache);
        scanner.start();
        for (int wait = 0; wait < 30'000 && scanner.poll().songsFound == 0; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::alarm(0);
    // What was read by the time of the quit is kept; nowhere near the whole library was.
    EXPECT_LT(cache.songs.size(), static_cast<std::size_t>(kSongs / 2));
    fs::remove_all(dir);
}

} // namespace
