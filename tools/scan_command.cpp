// cantorix-tool scan: the song library as the game sees it, through the same discovery, summaries
// and library cache: one line per song with its format and a verdict, a line of counts as the
// selection screen shows them, and with --stats a last line of figures a check can read.

#include "platform/storage/sqlite_library_cache.h"
#include "songs/library_scanner.h"
#include "songs/song_catalog.h"
#include "songs/song_playability.h"
#include "tool_commands.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unordered_map>

namespace cantorix::tools {

namespace {

namespace fs = std::filesystem;

struct ScanOptions {
    std::vector<fs::path> folders;
    fs::path cacheFile;
    bool stats = false;
};

bool parseOptions(const Args& args, ScanOptions& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--stats")
            options.stats = true;
        else if (args[i] == "--cache" && i + 1 < args.size())
            options.cacheFile = args[++i];
        else if (args[i].starts_with("--"))
            return false;
        else
            options.folders.emplace_back(args[i]);
    }
    if (options.cacheFile.empty())
        options.cacheFile = platform::defaultLibraryCacheFile();
    return !options.folders.empty();
}

std::string verdict(const songs::SongSummary& song) {
    const std::string format =
        song.format == songs::SongFormat::Standard ? "standard format" : "game format";
    if (!song.error.empty())
        return "fails (" + format + "): " + song.error;
    const std::string name = song.artist + " - " + song.title + (song.duet ? " (duet)" : "");
    if (!song.unplayable.empty())
        return "cannot be played (" + format + "): " + name + "; " + song.unplayable;
    return "loads (" + format + "): " + name;
}

// The cached songs brought up to date with everything the scan reports, until it ends.
std::vector<songs::SongSummary> scanToTheEnd(songs::LibraryScanner& scanner,
                                             songs::ScanUpdate& last) {
    // Started first: the scan only reads the cached songs, so they are gathered while it runs.
    scanner.start();
    std::unordered_map<std::string, songs::SongSummary> byFolder;
    byFolder.reserve(scanner.cached().size());
    for (const songs::SongSummary& song : scanner.cached())
        byFolder[song.folder] = song;
    std::size_t changed = 0, removed = 0;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        last = scanner.poll();
        changed += last.changed.size();
        removed += last.removed.size();
        for (songs::SongSummary& song : last.changed)
            byFolder[song.folder] = std::move(song);
        for (const fs::path& folder : last.removed)
            byFolder.erase(folder.native());
    } while (!last.finished);
    std::fprintf(stderr, "scan: %zu songs new or changed, %zu removed\n", changed, removed);
    std::vector<songs::SongSummary> all;
    all.reserve(byFolder.size());
    for (auto& [folder, song] : byFolder)
        all.push_back(std::move(song));
    return all;
}

double peakResidentMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

} // namespace

int runScanCommand(const Args& args) {
    const auto started = std::chrono::steady_clock::now();
    ScanOptions options;
    if (!parseOptions(args, options)) {
        std::fprintf(stderr, "usage: cantorix-tool scan [--cache FILE] [--stats] DIR...\n");
        return 2;
    }
    for (const fs::path& folder : options.folders) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            std::fprintf(stderr, "cantorix-tool: '%s' is not a directory\n", folder.c_str());
            return 1;
        }
    }
    platform::SqliteLibraryCache cache(options.cacheFile);
    songs::LibraryScanner scanner(options.folders, cache);
    const std::chrono::duration<double> cacheRead = std::chrono::steady_clock::now() - started;
    std::fprintf(stderr, "library cache: %zu songs read in %.3f s\n", scanner.cached().size(),
                 cacheRead.count());
    songs::ScanUpdate last;
    std::vector<songs::SongSummary> library = scanToTheEnd(scanner, last);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    songs::sortSongs(library, songs::SongOrder::ByArtist);

    std::size_t unplayable = 0;
    for (std::size_t i = 0; i < library.size(); ++i) {
        unplayable += songs::playable(library[i]) ? 0 : 1;
        std::printf("%zu\t%s\t%s\n", i, library[i].folder.c_str(), verdict(library[i]).c_str());
    }
    std::printf("%s\n", songs::songCountText(library.size(), unplayable).c_str());
    if (last.problems.unreadableFolders > 0)
        std::fprintf(stderr, "cantorix-tool: %zu folders could not be read\n",
                     last.problems.unreadableFolders);
    if (last.cacheError.empty())
        last.cacheError = cache.unusable(); // found by the load, though nothing was to be stored
    if (!last.cacheError.empty())
        std::fprintf(stderr, "cantorix-tool: %s\n", last.cacheError.c_str());
    if (options.stats)
        std::printf("{\"songs\": %zu, \"seconds\": %.3f, \"peakMB\": %.1f}\n", library.size(),
                    seconds.count(), peakResidentMB());
    // The verdicts are the scan's findings, not its failure: only a cache that could not be used
    // or written makes the scan fail.
    return last.cacheError.empty() ? 0 : 1;
}

} // namespace cantorix::tools
