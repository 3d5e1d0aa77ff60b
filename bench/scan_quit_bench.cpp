// Timed run: how long the library scanner takes to let go when the game quits mid-scan — over a
// library of song texts just under the size cap (each slow to read) and over a root folder of
// 100,000 entries — and the whole walk of that root for scale. Generates its trees under the
// temporary folder and removes them afterwards.

#include "songs/library_scanner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace cantorix;
using Clock = std::chrono::steady_clock;

// Keeps nothing: the figures are the scanner's own.
class NullCache : public songs::LibraryCache {
public:
    std::vector<songs::SongSummary> load() override { return {}; }
    void store(const std::vector<songs::SongSummary>&, const std::vector<fs::path>&) override {}
};

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void makeLongSongLibrary(const fs::path& root, int songs) {
    std::string text = "#VERSION:1.0.0\n#TITLE:Long\n#ARTIST:A\n#BPM:120\n";
    for (int beat = 0; text.size() < 4'000'000; beat += 2)
        text += ": " + std::to_string(beat) + " 1 " + std::to_string(beat % 24) + " la\n";
    text += "E\n";
    fs::create_directories(root);
    std::ofstream(root / "long.txt", std::ios::binary) << text;
    for (int i = 0; i < songs; ++i) {
        const fs::path folder = root / "songs" / ("Song " + std::to_string(10000 + i));
        fs::create_directories(folder);
        fs::create_hard_link(root / "long.txt", folder / "song.txt");
    }
}

void makeWideRoot(const fs::path& root, int entries) {
    fs::create_directories(root / "songs");
    for (int i = 0; i < entries; ++i)
        ::mkdir((root / "songs" / ("Folder " + std::to_string(100000 + i))).c_str(), 0755);
}

// Starts a scan, lets it run `afterMs`, destroys it; returns how long the destruction took.
double quitAfter(const fs::path& songs, int afterMs) {
    NullCache cache;
    auto scanner = std::make_unique<songs::LibraryScanner>(std::vector<fs::path>{songs}, cache);
    scanner->start();
    std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
    const auto start = Clock::now();
    scanner.reset();
    return msSince(start);
}

double wholeScan(const fs::path& songs) {
    NullCache cache;
    songs::LibraryScanner scanner({songs}, cache);
    const auto start = Clock::now();
    scanner.start();
    while (!scanner.poll().finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return msSince(start);
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.1f ms  max %7.1f ms  (%zu runs)\n", what, ms[ms.size() / 2],
                ms.back(), ms.size());
}

} // namespace

int main() {
    const fs::path dir =
        fs::temp_directory_path() / ("cantorix-scan-quit-bench-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    makeLongSongLibrary(dir / "long", 40);
    makeWideRoot(dir / "wide", 100'000);
    std::vector<double> longSongs, wideEarly, wideLate;
    for (int run = 0; run < 5; ++run) {
        longSongs.push_back(quitAfter(dir / "long/songs", 200));
        wideEarly.push_back(quitAfter(dir / "wide/songs", 5));
        wideLate.push_back(quitAfter(dir / "wide/songs", 300));
    }
    report("quit: 40 song texts of 3.8 MiB, after 200 ms", longSongs);
    report("quit: 100,000 folders in one, after 5 ms", wideEarly);
    report("quit: 100,000 folders in one, after 300 ms", wideLate);
    report("whole walk: 100,000 folders in one", {wholeScan(dir / "wide/songs")});
    fs::remove_all(dir);
    return 0;
}
